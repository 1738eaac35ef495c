#include "app/exitstatus.h"
#include "app/singleinstance.h"
#include "app/starthandover.h"
#include "platform/processlock.h"
#include "scriptedprompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A start whose settings file is locked by a copy that cannot be reached (it holds the lock and
// says nowhere where it listens) waits for it within its bound, then says why it made no backup.
class TestStartHandOver : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startNobodyAnswersSaysWhy_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("keepLog");
        QTest::addColumn<bool>("notice");
        QTest::addColumn<bool>("logFile");
        QTest::newRow("interactive: a box") << QStringList() << QByteArray("1") << true << false;
        QTest::newRow("scheduled: its log")
            << QStringList{QStringLiteral("/autoclose")} << QByteArray("1") << false << true;
        QTest::newRow("scheduled, no log kept")
            << QStringList{QStringLiteral("/autoshutdown")} << QByteArray("0") << false << false;
    }
    void startNobodyAnswersSaysWhy() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, keepLog);
        QFETCH(bool, notice);
        QFETCH(bool, logFile);
        QTemporaryDir program;
        const std::filesystem::path settings =
            QFile::encodeName(program.filePath("Quoralis2005Config.ini")).toStdString();
        const QByteArray text = "[settings]\nkeep_log=" + keepLog + "\n";
        QFile file(program.filePath("Quoralis2005Config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        platform::ProcessLock unreachable(SingleInstance::lockFileFor(settings));
        QCOMPARE(unreachable.tryLock(), platform::ProcessLock::Result::Locked);

        SingleInstance guard;
        QCOMPARE(guard.acquire(settings), SingleInstance::Role::Secondary);
        ScriptedPrompts prompts;
        const std::filesystem::path logs = QFile::encodeName(program.filePath("logs")).toStdString();
        const std::optional<int> status = StartHandOver(guard, arguments, prompts).run(settings, logs);

        QCOMPARE(status, std::optional<int>(int(ExitStatus::BackupIncomplete)));
        QCOMPARE(prompts.notices().size(), notice ? 1 : 0);
        if (notice)
            QVERIFY2(prompts.notices().first().contains(QLatin1String(StartHandOver::notAnsweredLine)),
                     qPrintable(prompts.notices().first()));
        const QStringList written = QDir(program.filePath("logs")).entryList(QDir::Files);
        QCOMPARE(written.size(), logFile ? 1 : 0);
        if (logFile) {
            QFile log(program.filePath("logs/") + written.first());
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(log.readAll().contains(QByteArray(" - ") + StartHandOver::notAnsweredLine + "\r\n"));
        }
        // The settings file is only read: the copy that holds the lock may be writing it.
        QFile after(program.filePath("Quoralis2005Config.ini"));
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), text);
    }
};

QTEST_GUILESS_MAIN(TestStartHandOver)
#include "tst_starthandover.moc"
