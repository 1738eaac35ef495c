#pragma once

#include "installedprogram.h"

#include <QFile>
#include <QTest>

#include <csignal>

// Built with HOLDING_ENGINE, the path of the engine that holds its jobs (holdingengine.cpp).
// The installed program with a folder to back up, whose add engine a test can hold in a job.
struct ProgramWithDocs : InstalledProgram {
    ProgramWithDocs() {
        dir.writeFile(QStringLiteral("data/Docs/a.txt"), QByteArray(5000, 'a'));
        dir.writeFile(QStringLiteral("data/Docs/sub/b.txt"), "bee");
    }
    void settings(const QByteArray& extra = {}) const {
        InstalledProgram::settings(extra, {QStringLiteral("data/Docs")});
    }
    // The add engine is replaced by one that holds each job at `point` (see holdingengine.cpp)
    // until the program asks it to stop.
    void holdEngineAt(const QString& point) {
        const QString engine = dir.filePath(QStringLiteral("dll/libZipDll.so"));
        QVERIFY(QFile::remove(engine));
        QVERIFY(QFile::copy(QStringLiteral(HOLDING_ENGINE), engine));
        environment.insert(QStringLiteral("QUORALIS_HOLD"), point);
        environment.insert(QStringLiteral("QUORALIS_HOLD_SIGN"), holdSign());
    }
    QString holdSign() const { return dir.filePath(QStringLiteral("engine-holds")); }
    // The scheduler's session ends once the engine holds the job.
    void terminateWhenHeld() {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(holdSign()) || process.state() != QProcess::Running, 60000);
        QVERIFY2(QFile::exists(holdSign()), "the program ended before the engine held its job");
        ::kill(pid_t(process.processId()), SIGTERM);
    }
};
