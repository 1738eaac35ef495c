#pragma once

#include "testprogramdir.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The built program copied into a temporary program folder, with folders to back up under
// data/, started as a scheduler starts it, with nobody at the screen.
class InstalledProgram {
public:
    InstalledProgram();

    QString destination() const { return dir.filePath(QStringLiteral("backups")); }
    QString archive(const QString& name = QStringLiteral("Quoralis.zip")) const {
        return destination() + QLatin1Char('/') + name;
    }
    // Settings with keep_log on and the given listed folders (relative ones below the program folder).
    void settings(const QByteArray& extra, const QStringList& folders,
                  const QString& destinationFolder = QString()) const;
    void start(const QString& argument = QStringLiteral("/autoclose"));
    // Waits for the program to end by itself; a program that does not is killed.
    bool endsByItself();
    // Starts, waits and returns the exit status (-1 when the program had to be killed).
    int run(const QString& argument = QStringLiteral("/autoclose"));
    // The log file of the newest run.
    QByteArray lastLog() const;
    // The entry names an archive holds, as an independent reader lists them.
    static QStringList entries(const QString& archive);
    // The content of one entry as Python's ZIP reader gives it; empty when it cannot be read.
    static QByteArray entryData(const QString& archive, const QString& entryName);
    // Whether unzip finds every entry sound.
    static bool unzipTest(const QString& archive);
    // The files of the destination folder, hidden ones too.
    QStringList destinationFiles() const;

    TestProgramDir dir;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};
