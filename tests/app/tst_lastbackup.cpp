#include "app/backupendnotifier.h"
#include "app/lastbackup.h"
#include "config/settingsmodel.h"
#include "platform/desktopnotifier.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The last backup's end as the windows show it and the next start reads it back, and which ends
// are told on the desktop.
class TestLastBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aRunTellsItsResult();
    void theRecordSurvivesARestartAndNothingElseIsTouched();
    void aRecordThatIsNoRecordIsNone();
    void failuresAreAlwaysToldSuccessOnlyWhenUnseen();
};

namespace {

class RecordingNotifier : public platform::DesktopNotifier {
public:
    void notify(const QString& title, const QString& text, bool urgent) override {
        notices.append({title, text, urgent});
    }
    struct Notice {
        QString title;
        QString text;
        bool urgent;
    };
    QList<Notice> notices;
};

} // namespace

void TestLastBackup::aRunTellsItsResult() {
    using R = LastBackup::Result;
    using O = BackupRun::Outcome;
    QCOMPARE(LastBackup::resultOf(O::NotStarted, false, false, 0), R::None);
    QCOMPARE(LastBackup::resultOf(O::Stopped, false, false, 0), R::Failed);
    QCOMPARE(LastBackup::resultOf(O::Cancelled, true, true, 1), R::Cancelled);
    QCOMPARE(LastBackup::resultOf(O::Completed, false, false, 0), R::Made); // nothing had changed
    QCOMPARE(LastBackup::resultOf(O::Completed, false, true, 1), R::Incomplete);
    QCOMPARE(LastBackup::resultOf(O::Completed, false, true, 0), R::Failed);
    // Ended by the session: what it could not finish was cancelled, not failed; what it did
    // finish before is a backup made.
    QCOMPARE(LastBackup::resultOf(O::Completed, true, true, 0), R::Cancelled);
    QCOMPARE(LastBackup::resultOf(O::Completed, true, false, 1), R::Made);
}

void TestLastBackup::theRecordSurvivesARestartAndNothingElseIsTouched() {
    QTemporaryDir dir;
    const std::filesystem::path ini = dir.filePath(QStringLiteral("settings.ini")).toStdString();
    QFile file(QString::fromStdString(ini.native()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[settings]\ndestination=/backups\n[stats]\ntotal_backups=7\n");
    file.close();

    LastBackup last;
    const QDateTime ended(QDate(2026, 12, 8), QTime(14, 5, 9), Qt::UTC);
    QVERIFY(last.record(LastBackup::Result::Incomplete, 12345678, ended, ini).isEmpty());
    LastBackup again;
    again.load(ini);
    QCOMPARE(again.result(), LastBackup::Result::Incomplete);
    QCOMPARE(again.ended(), ended);
    QCOMPARE(again.bytes(), quint64(12345678));
    QVERIFY2(again.statusText().contains(QStringLiteral("incomplete")) &&
                 again.statusText().contains(QStringLiteral("11.77 Mb")),
             qPrintable(again.statusText()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("destination=/backups"));
    QVERIFY(text.contains("total_backups=7"));

    // A settings file that cannot be written: the status still shows, the error is told.
    const std::filesystem::path inFolder = dir.filePath(QStringLiteral("folder")).toStdString();
    QVERIFY(QDir().mkpath(QString::fromStdString(inFolder.native())));
    LastBackup unwritable;
    QVERIFY(!unwritable.record(LastBackup::Result::Made, 1, ended, inFolder).isEmpty());
    QCOMPARE(unwritable.result(), LastBackup::Result::Made);
}

void TestLastBackup::aRecordThatIsNoRecordIsNone() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    for (const QByteArray& stats :
         {QByteArray("last_backup_end=yesterday\nlast_backup_result=made\n"),
          QByteArray("last_backup_end=2026-12-08T14:05:09Z\nlast_backup_result=splendid\n"),
          QByteArray("last_backup_end=2026-12-08T14:05:09Z\n")}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[stats]\n" + stats);
        file.close();
        LastBackup last;
        last.load(path.toStdString());
        QCOMPARE(last.result(), LastBackup::Result::None);
        QCOMPARE(last.statusText(), QStringLiteral("No backup made yet"));
    }
}

void TestLastBackup::failuresAreAlwaysToldSuccessOnlyWhenUnseen() {
    SettingsModel settings;
    RecordingNotifier desktop;
    BackupEndNotifier notifier(&desktop, settings);
    LastBackup last;
    QTemporaryDir dir;
    const std::filesystem::path ini = dir.filePath(QStringLiteral("s.ini")).toStdString();
    const QDateTime now = QDateTime::currentDateTimeUtc();

    last.record(LastBackup::Result::Made, 10, now, ini);
    notifier.backupEnded(last, true, false); // the user watched it
    QCOMPARE(desktop.notices.size(), 0);
    notifier.backupEnded(last, false, false); // the window was hidden
    notifier.backupEnded(last, true, true);   // nobody started it
    QCOMPARE(desktop.notices.size(), 2);
    QVERIFY(!desktop.notices[0].urgent);

    last.record(LastBackup::Result::Failed, 0, now, ini);
    notifier.backupEnded(last, true, false);
    QCOMPARE(desktop.notices.size(), 3);
    QVERIFY(desktop.notices[2].urgent);
    QCOMPARE(desktop.notices[2].title, QStringLiteral("Quoralis2005: backup failed"));
    QCOMPARE(desktop.notices[2].text, last.statusText());

    settings.setOn(Setting::DesktopNotifications, false);
    notifier.backupEnded(last, false, true);
    QCOMPARE(desktop.notices.size(), 3);
}

QTEST_GUILESS_MAIN(TestLastBackup)
#include "tst_lastbackup.moc"
