// The whole program driven through its application object in a process that has no window system
// at all (a core application, no GUI platform): start-up, a backup, a start forwarded by another
// copy, the end of the session in the middle of a backup, and the close.
#include "engine/backuprun.h"
#include "app/backupapp.h"
#include "app/shellopener.h"
#include "app/singleinstance.h"
#include "config/settingsmodel.h"
#include "engine/archivecomponent.h"
#include "incompressible.h"
#include "log/activitylog.h"
#include "platform/terminationrequest.h"
#include "recordingwaveoutput.h"
#include "scriptedprompts.h"
#include "testprogramdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

class NoDesktop : public ShellOpener {
public:
    bool open(const QString&) override { return false; }

protected:
    bool launchUrl(const QUrl&) override { return false; }
};

bool unzipTest(const QString& archive) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive});
    return unzip.waitForFinished(60000) && unzip.exitStatus() == QProcess::NormalExit &&
           unzip.exitCode() == 0;
}

// A program folder with the engine and two folders to back up, and the program made on it.
class Program {
public:
    explicit Program(const QByteArray& extraSettings = {}) {
        dir.installProgramFiles();
        dir.writeFile(QStringLiteral("data/Docs/a.txt"), QByteArray(5000, 'a'));
        dir.writeFile(QStringLiteral("data/Docs/sub/b.txt"), "bee");
        dir.writeFile(QStringLiteral("data/Photos/c.png"), QByteArray(3000, 'c'));
        dir.writeFile(QStringLiteral("Quoralis2005Config.ini"),
                      "[settings]\ndestination=" + destination().toUtf8() + "\nkeep_log=1\n" + extraSettings +
                          "\n[folders]\nfolder_count=1\nfolder_0=" +
                          dir.filePath(QStringLiteral("data/Docs")).toUtf8() +
                          "\nfolder_1=" + dir.filePath(QStringLiteral("data/Photos")).toUtf8() + "\n");
    }

    // Large enough that archiving takes a while and the test acts meanwhile.
    void addBulk() {
        const QByteArray bulk = incompressibleBytes(16 << 20);
        dir.writeFile(QStringLiteral("data/Docs/bulk.bin"), bulk);
    }

    BackupApp& make(const QStringList& arguments = {}) {
        AppServices services;
        services.prompts = &prompts;
        services.shell = &shell;
        services.waveOutput = &wave;
        app = std::make_unique<BackupApp>(dir.path(), arguments, services);
        return *app;
    }

    QString destination() const { return dir.filePath(QStringLiteral("backups")); }
    QString archive() const { return destination() + QStringLiteral("/Quoralis.zip"); }
    QString settingsFile() const { return dir.filePath(QStringLiteral("Quoralis2005Config.ini")); }
    QStringList messages() const {
        QStringList result;
        for (const QString& line : app->activityLog().lines())
            result.append(line.section(QStringLiteral(" - "), 1, -1));
        return result;
    }
    QStringList logFiles() const {
        return QDir(dir.filePath(QStringLiteral("logs"))).entryList({QStringLiteral("*.txt")}, QDir::Files);
    }

    TestProgramDir dir;
    ScriptedPrompts prompts;
    NoDesktop shell;
    RecordingWaveOutput wave;
    std::unique_ptr<BackupApp> app;
};

} // namespace

class TestProgramWithoutWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        // Nothing of the program needs a window system: no GUI application exists, and no widget or
        // GUI library is even loaded.
        QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6Core"));
        QVERIFY2(!mapped.contains("libQt6Widgets"), "the program's library links Qt Widgets");
        QVERIFY2(!mapped.contains("libQt6Gui"), "the program's library links Qt Gui");
    }

    void startBackupAndCloseWithoutWindows() {
        Program p;
        BackupApp& app = p.make();
        app.startUp();
        QVERIFY(!app.hasEnded());
        QVERIFY(app.settings().isLoaded());
        QCOMPARE(app.settings().folders().size(), std::size_t(2));

        app.backup();
        QVERIFY2(p.messages().contains(QStringLiteral("Creating single archive...")),
                 qPrintable(p.messages().join('\n')));
        QVERIFY(unzipTest(p.archive()));
        QCOMPARE(app.settings().totalBackups(), quint64(1));

        app.requestClose();
        QVERIFY(app.hasEnded());
        QCOMPARE(app.exitCode(), 0);
        const QByteArray saved = p.dir.readFile(QStringLiteral("Quoralis2005Config.ini"));
        QVERIFY(saved.contains("total_backups=1"));
        QVERIFY(saved.contains("folder_1=" + p.dir.filePath(QStringLiteral("data/Photos")).toUtf8()));
        QCOMPARE(p.logFiles().size(), 1);
        QVERIFY(p.prompts.notices().isEmpty());
    }

    void autocloseStartMakesItsBackupAndEnds() {
        Program p;
        BackupApp& app = p.make({QStringLiteral("/autoclose")});
        app.startUp();
        QVERIFY(app.hasEnded());
        QCOMPARE(app.exitCode(), 0);
        QVERIFY(unzipTest(p.archive()));
        QVERIFY(p.messages().contains(QStringLiteral("Executing command line \"/autoclose\"...")));
    }

    void aMissingFolderEndsTheUnattendedRunIncomplete() {
        Program p;
        QDir(p.dir.filePath(QStringLiteral("data/Photos"))).removeRecursively();
        BackupApp& app = p.make({QStringLiteral("/autoclose")});
        app.startUp();
        QVERIFY(app.hasEnded());
        QCOMPARE(app.exitCode(), 1);
        QVERIFY(p.messages().contains(QStringLiteral("Folder not found: ") +
                                      p.dir.filePath(QStringLiteral("data/Photos"))));
    }

    // Another copy started by a scheduler hands its "/autoclose" over; it ends with the status of the
    // backup made for it, and this copy goes on running.
    void aForwardedStartGetsItsBackupAndStatus() {
        Program p;
        BackupApp& app = p.make();
        auto guard = std::make_unique<SingleInstance>();
        QCOMPARE(guard->acquire(p.settingsFile().toStdString()), SingleInstance::Role::Primary);
        app.adoptInstanceGuard(std::move(guard));
        app.startUp();

        QProcess second;
        second.start(QStringLiteral(SINGLEINSTANCECHILD),
                     {p.settingsFile(), QStringLiteral("forward"), QStringLiteral("/autoclose")});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(p.messages().contains(QStringLiteral("Backup asked for by another start: /autoclose")));
        QVERIFY(unzipTest(p.archive()));
        QVERIFY(!app.hasEnded());

        // The same start without a destination: the other copy hears that nothing was made.
        app.settings().setDestination({});
        p.prompts.queueAnswer(false);
        second.start(QStringLiteral(SINGLEINSTANCECHILD),
                     {p.settingsFile(), QStringLiteral("forward"), QStringLiteral("/autoclose")});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
        QCOMPARE(second.exitCode(), 2);
        QCOMPARE(p.prompts.questions(), QStringList{BackupRun::NoDestinationQuestion});
        app.requestClose();
        QVERIFY(app.hasEnded());
    }

    // A backup asked for while the forwarded one is being written is refused; the start that
    // forwarded its backup still hears how that backup went, not the refusal.
    void aRefusedTriggerDoesNotAnswerForTheForwardedBackup() {
        Program p;
        p.addBulk();
        BackupApp& app = p.make();
        auto guard = std::make_unique<SingleInstance>();
        QCOMPARE(guard->acquire(p.settingsFile().toStdString()), SingleInstance::Role::Primary);
        app.adoptInstanceGuard(std::move(guard));
        app.startUp();
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = connect(&app.archiveComponent(), &ArchiveComponent::OnItemProgress, &app, [once, &app] {
            disconnect(*once);
            app.backup();
        });

        QProcess second;
        second.start(QStringLiteral(SINGLEINSTANCECHILD),
                     {p.settingsFile(), QStringLiteral("forward"), QStringLiteral("/autoclose")});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
        QVERIFY(p.messages().contains(QStringLiteral("Backup already running")));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(unzipTest(p.archive()));
        app.requestClose();
    }

    // The session ends (SIGTERM) while a backup is being written: the backup is cancelled, no
    // archive is left half made, the settings and the log are saved, and the run says it is incomplete.
    void theSessionEndingMidRunCancelsAndCloses() {
        Program p;
        p.addBulk();
        BackupApp& app = p.make();
        TerminationRequest termination;
        connect(&termination, &TerminationRequest::requested, &app, &BackupApp::requestTermination);
        QSignalSpy ended(&app, &BackupApp::programEnded);
        app.startUp();
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = connect(&app.archiveComponent(), &ArchiveComponent::OnItemProgress, &app, [once] {
            disconnect(*once);
            std::raise(SIGTERM);
        });
        app.backup();
        QVERIFY(app.hasEnded());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(app.exitCode(), 1);
        const QStringList messages = p.messages();
        QVERIFY2(messages.contains(QStringLiteral("The session is ending: closing Quoralis2005")),
                 qPrintable(messages.join('\n')));
        QVERIFY(messages.contains(QStringLiteral("Backup cancelled: the program is closing")));
        QVERIFY(!QFile::exists(p.archive()));
        QCOMPARE(QDir(p.destination()).entryList(QDir::Files | QDir::Hidden).size(), 0);
        QVERIFY(p.dir.readFile(QStringLiteral("Quoralis2005Config.ini")).contains("[folders]"));
        QCOMPARE(p.logFiles().size(), 1);
        QVERIFY(p.prompts.questions().isEmpty());
    }
};

int main(int argc, char** argv) {
    TerminationRequest::holdRequests();
    QCoreApplication app(argc, argv);
    TestProgramWithoutWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programwithoutwindows.moc"
