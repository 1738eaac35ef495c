// The session ends (SIGTERM) at many moments of start-up, in an interactive start and in a
// scheduled one: the settings file stays byte for byte as it was, nothing runs after the close,
// and the exit status says whether a backup that was asked for was made.
#include "app/exitstatus.h"
#include "testprogramdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <csignal>

namespace {

constexpr int kFolders = 300;

// The built program in a temporary program folder whose settings file holds every key with the
// value a save would write, so that any save that happens shows only as a change of meaning.
struct WatchedProgram {
    WatchedProgram() {
        dir.installProgramFiles();
        const QString built = qEnvironmentVariable("QUORALIS_PROGRAM_DIR") + QStringLiteral("/quoralis2005");
        QFile::copy(built, dir.filePath(QStringLiteral("quoralis2005")));
        QFile::setPermissions(dir.filePath(QStringLiteral("quoralis2005")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QByteArray folders = "[folders]\nfolder_count=" + QByteArray::number(kFolders - 1) + "\n";
        for (int i = 0; i < kFolders; ++i) {
            const QString folder = QStringLiteral("data/f%1").arg(i, 3, 10, QLatin1Char('0'));
            dir.writeFile(folder + QStringLiteral("/file.txt"), QByteArray(100, 'x'));
            folders += "folder_" + QByteArray::number(i) + "=" + dir.filePath(folder).toUtf8() + "\n";
        }
        settingsBytes =
            "[settings]\nx=100\ny=100\nwidth=490\nheight=330\nstart_hidden=0\ntimer_enabled=0\n"
            "new_only=0\ndel_prev=0\ninclude_hidden=0\nmulti_archive=0\nno_comp=0\nlow_priority=0\n"
            "toolbar_mode=0\nwindow_fading=0\nbackup_launch=0\nbackup_close=0\nnotify_destination=0\n"
            "each_folder=0\nkeep_log=1\nshow_log=0\nauto_check=AUTOCHECK\nclean_logs=0\n"
            "clean_backups=0\nbackup_clean_days=30\nlog_clean_days=7\nvoice=0\ntimer_interval=30\n"
            "destination=" +
            dir.filePath(QStringLiteral("backups")).toUtf8() + "/\ndesktop_notifications=1\n" + folders +
            "[ex_folders]\nex_folder_count=-1\n[ex_types]\nex_type_count=-1\n";
    }
    void writeSettings(bool autoCheck) {
        settingsBytes.replace("AUTOCHECK", autoCheck ? "1" : "0");
        dir.writeFile(QStringLiteral("Quoralis2005Config.ini"), settingsBytes);
    }
    // The program starts with the session's end request held, as if it came before its handler
    // existed: it is delivered the moment the program lets it in.
    void holdEndRequests() {
        process.setChildProcessModifier([] {
            sigset_t held;
            sigemptyset(&held);
            sigaddset(&held, SIGTERM);
            ::sigprocmask(SIG_BLOCK, &held, nullptr);
        });
    }
    void start(const QStringList& arguments, const QString& server = QStringLiteral("127.0.0.1:1")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORALIS_LOG_ECHO"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QUORALIS_SERVER"), server);
        process.setProcessEnvironment(environment);
        process.setProgram(dir.filePath(QStringLiteral("quoralis2005")));
        process.setArguments(arguments);
        process.setWorkingDirectory(dir.path());
        process.setReadChannel(QProcess::StandardError);
        process.start();
        QVERIFY(process.waitForStarted());
    }
    // Reads the program's log lines as they come until the `count`th one that starts with `text`.
    bool waitForLine(const QByteArray& text, int count) {
        int seen = 0;
        while (process.state() == QProcess::Running || process.bytesAvailable() > 0) {
            while (process.canReadLine()) {
                const QByteArray line = process.readLine();
                echoed += line;
                if (line.startsWith(text) && ++seen == count)
                    return true;
            }
            if (!process.waitForReadyRead(60000) && process.state() != QProcess::Running)
                break;
        }
        return false;
    }
    void terminate() { ::kill(pid_t(process.processId()), SIGTERM); }
    int endStatus() {
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        echoed += process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    QByteArray settingsNow() const { return dir.readFile(QStringLiteral("Quoralis2005Config.ini")); }
    // The settings text without its [stats] section, the record of runs.
    static QByteArray withoutStats(const QByteArray& text) {
        QByteArray kept;
        bool inStats = false;
        for (const QByteArray& line : text.split('\n')) {
            if (line.startsWith('['))
                inStats = line == "[stats]";
            if (!inStats)
                kept += line + '\n';
        }
        return kept;
    }
    QStringList archives() const {
        return QDir(dir.filePath(QStringLiteral("backups")))
            .entryList({QStringLiteral("*.zip")}, QDir::Files);
    }

    TestProgramDir dir;
    QByteArray settingsBytes;
    QProcess process;
    QByteArray echoed;
};

} // namespace

class TestStartupSignals : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sessionEndsDuringStartUp_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<int>("status");
        const struct {
            const char* line;
            int occurrence;
        } moments[] = {
            {"Starting Quoralis v.", 1},
            {"Loading config", 1},
            {"Loading folder list:", 1},
            {"Added folder ", 1},
            {"Added folder ", 150},
            {"Added folder ", kFolders},
            {"Config loaded", 1},
            {"Total of all folders: ", 1},
            {"Total of all folders: ", 120},
            {"Total of all folders: ", kFolders - 1},
        };
        for (const auto& moment : moments) {
            const QByteArray name =
                QByteArray(moment.line).trimmed() + " #" + QByteArray::number(moment.occurrence);
            QTest::newRow(("interactive: " + name).constData())
                << QStringList() << QByteArray(moment.line) << moment.occurrence
                << int(ExitStatus::AllArchivesMade);
            // A scheduled run ends before its backup was made: that backup is missing.
            QTest::newRow(("scheduled: " + name).constData())
                << QStringList{QStringLiteral("/autoclose")} << QByteArray(moment.line) << moment.occurrence
                << int(ExitStatus::BackupIncomplete);
        }
    }
    void sessionEndsDuringStartUp() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, line);
        QFETCH(int, occurrence);
        QFETCH(int, status);
        WatchedProgram p;
        p.writeSettings(false);
        const QByteArray before = p.settingsNow();
        p.start(arguments);
        QVERIFY2(p.waitForLine(line, occurrence), p.echoed.constData());
        p.terminate();
        QCOMPARE(p.endStatus(), status);
        // The settings as they were; a backup the end caught at its start is recorded as cancelled.
        const QByteArray after = p.settingsNow();
        QCOMPARE(WatchedProgram::withoutStats(after), WatchedProgram::withoutStats(before));
        if (after.contains("[stats]"))
            QVERIFY2(after.contains("\nlast_backup_result=cancelled\n"), after.constData());
        QVERIFY(p.archives().isEmpty());
        // Nothing after the close sequence: no backup, no command line.
        const QByteArray afterClose = p.echoed.mid(p.echoed.indexOf("Closing Quoralis2005 v."));
        QVERIFY2(!afterClose.contains("Executing command line") && !afterClose.contains("Backup created"),
                 p.echoed.constData());
    }

    // The session ends before the program has set anything up: it still ends as it does later, by
    // itself, and saves nothing it did not load.
    void sessionEndsAtOnce_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("interactive") << QStringList();
        QTest::newRow("scheduled") << QStringList{QStringLiteral("/autoclose")};
    }
    void sessionEndsAtOnce() {
        QFETCH(QStringList, arguments);
        WatchedProgram p;
        p.writeSettings(false);
        const QByteArray before = p.settingsNow();
        p.holdEndRequests();
        p.start(arguments);
        p.terminate();
        const int status = p.endStatus();
        QVERIFY2(status == int(ExitStatus::AllArchivesMade) || status == int(ExitStatus::BackupIncomplete),
                 qPrintable(QString::number(status)));
        if (!arguments.isEmpty())
            QCOMPARE(status, int(ExitStatus::BackupIncomplete));
        QCOMPARE(p.settingsNow(), before);
        QVERIFY(p.archives().isEmpty());
    }

    // The version check waits for a server that never answers; the session ends meanwhile.
    void sessionEndsDuringTheVersionCheck() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        WatchedProgram p;
        p.writeSettings(true);
        const QByteArray before = p.settingsNow();
        p.start({}, QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()));
        QVERIFY(silent.waitForNewConnection(60000));
        p.terminate();
        QCOMPARE(p.endStatus(), int(ExitStatus::AllArchivesMade));
        QCOMPARE(p.settingsNow(), before);
    }

    // A scheduled run whose start-up notice nobody answers: the session ends while it is open.
    void sessionEndsDuringAStartUpNotice() {
        WatchedProgram p;
        QVERIFY(QFile::remove(p.dir.filePath(QStringLiteral("dll/dzsfxus.bin"))));
        p.writeSettings(false);
        const QByteArray before = p.settingsNow();
        p.start({QStringLiteral("/autoclose")});
        QVERIFY2(p.waitForLine("Notice: EXE compressor is missing", 1), p.echoed.constData());
        p.terminate();
        QCOMPARE(p.endStatus(), int(ExitStatus::BackupIncomplete));
        QCOMPARE(p.settingsNow(), before);
        QVERIFY(p.archives().isEmpty());
    }

    // Once the close sequence has begun, end requests of every kind keep coming until the process
    // is gone: the run's status stands every time, and the process is never killed by one.
    void requestsAfterTheCloseChangeNothing() {
        for (int round = 0; round < 4; ++round) {
            WatchedProgram p;
            p.writeSettings(false);
            p.start({QStringLiteral("/autoclose")});
            QVERIFY2(p.waitForLine("Closing Quoralis2005", 1), p.echoed.constData());
            const pid_t pid = pid_t(p.process.processId());
            const int kinds[] = {SIGTERM, SIGINT, SIGHUP};
            for (int i = 0; p.process.state() == QProcess::Running && i < 20000; ++i) {
                ::kill(pid, kinds[i % 3]);
                p.process.waitForFinished(1);
            }
            if (p.process.state() != QProcess::NotRunning)
                QVERIFY(p.process.waitForFinished(60000));
            QCOMPARE(p.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.process.exitCode(), int(ExitStatus::AllArchivesMade));
            QCOMPARE(p.archives(), QStringList(QStringLiteral("Quoralis.zip")));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartupSignals)
#include "tst_startupsignals.moc"
