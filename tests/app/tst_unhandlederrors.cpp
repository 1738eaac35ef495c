#include "app/quoralisapplication.h"
#include "apptestharness.h"
#include "backupfixture.h"
#include "config/settingsdialog.h"
#include "engine/backuprun.h"
#include "online/errorreportwindow.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

// Errors that no handler deals with reach the error window and the program goes on.
class TestUnhandledErrors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exceptionFromTimerReachesErrorWindow();
    void failedSaveAtCloseIsReportedAndTheProgramCloses();
    void errorInsideABackupEndsTheBusyState();
};

void TestUnhandledErrors::exceptionFromTimerReachesErrorWindow() {
    AppTestHarness h;
    MainWindow& form = h.start();
    QTimer::singleShot(0, &form, [] { throw std::runtime_error("Something broke in a handler"); });
    QTRY_VERIFY(form.errorForm()->isVisible());
    QCOMPARE(form.errorForm()->errorText(), QStringLiteral("Something broke in a handler"));
    // The program goes on: events are still handled.
    bool ran = false;
    QTimer::singleShot(0, &form, [&ran] { ran = true; });
    QTRY_VERIFY(ran);
}

void TestUnhandledErrors::failedSaveAtCloseIsReportedAndTheProgramCloses() {
    AppTestHarness h;
    MainWindow& form = h.start();
    // A folder where the settings file should be: it cannot be replaced.
    const QString ini = h.dir.filePath(QStringLiteral("Quoralis2005Config.ini"));
    QFile::remove(ini);
    QDir().mkpath(ini + QStringLiteral("/blocked"));
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    QTRY_VERIFY(form.program().hasEnded());
    QCOMPARE(h.prompts.notices(), QStringList(QStringLiteral("Unable to write to ") + ini));
    // The settings dialog's own save still reaches the error window.
    AppTestHarness again;
    MainWindow& other = again.start();
    const QString otherIni = again.dir.filePath(QStringLiteral("Quoralis2005Config.ini"));
    QFile::remove(otherIni);
    QDir().mkpath(otherIni + QStringLiteral("/blocked"));
    QTimer::singleShot(0, &other, [&other] {
        QTimer::singleShot(0, other.settingsDialog(), [&other] { other.settingsDialog()->reject(); });
        other.btSettingsClick();
    });
    QTRY_VERIFY(other.errorForm()->isVisible());
    QCOMPARE(other.errorForm()->errorText(), QStringLiteral("Unable to write to ") + otherIni);
}

void TestUnhandledErrors::errorInsideABackupEndsTheBusyState() {
    BackupFixture f;
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    // The archive is written, then the completion sound fails (an unreadable sound file).
    QObject::connect(&form.program(), &BackupApp::eventSoundRequested, &form,
                     [](const QString&) { throw std::runtime_error("Unable to read the sound file"); });
    QTimer::singleShot(0, &form, [&form] { form.program().backup(); });
    QTRY_VERIFY(form.errorForm()->isVisible());
    QCOMPARE(form.errorForm()->errorText(), QStringLiteral("Unable to read the sound file"));
    QCOMPARE(f.archives().size(), 1);
    QVERIFY(!form.program().backupRun().isRunning());
    QVERIFY(form.findChild<QPushButton*>(QStringLiteral("btBackup"))->isEnabled());
}

int main(int argc, char** argv) {
    QuoralisApplication app(argc, argv);
    TestUnhandledErrors test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_unhandlederrors.moc"
