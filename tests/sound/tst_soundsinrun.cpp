#include "engine/backuprun.h"
#include "backupfixture.h"
#include "online/errorreportwindow.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

void ageFile(const QString& path, int days) {
    const qint64 seconds = QDateTime::currentSecsSinceEpoch() - qint64(days) * 86400;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

// The spoken alerts inside the program: played through the output from the shipped
// recordings, filtered by the settings, and a missing recording never stopping a run.
class TestSoundsInRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void missingRecordingReachesTheErrorWindowWhileTheRunEnds() {
        BackupFixture f;
        QDir(f.h.dir.filePath(QStringLiteral("sounds"))).removeRecursively();
        // Outdated archives are looked for with dated archives only.
        f.settings("multi_archive=1\nclean_backups=1\nbackup_clean_days=30", {f.docs});
        f.h.dir.writeFile(QStringLiteral("backups/Quoralis_old.zip"), "old archive");
        ageFile(f.destination + QStringLiteral("Quoralis_old.zip"), 40);
        // Keep the outdated archive: asked after the run and after the save at close.
        f.h.prompts.queueAnswer(false);
        f.h.prompts.queueAnswer(false);

        MainWindow& form = f.h.start({QStringLiteral("/autoclose")});

        // The run went on after the failed sound: outdated-archive check, then the close.
        QVERIFY(form.program().hasEnded());
        QCOMPARE(f.archives().size(), 2);
        QVERIFY2(f.h.messages().contains(QStringLiteral("Found 1 outdated archives")),
                 qPrintable(f.h.messages().join(QLatin1Char('\n'))));
        QVERIFY(f.h.prompts.allAnswersUsed());
        QCOMPARE(f.h.soundRequests,
                 (QStringList{QStringLiteral("backups_completed"), QStringLiteral("outdated_found"),
                              QStringLiteral("outdated_found")}));
        QVERIFY(form.errorForm()->isVisible());
        QVERIFY2(form.errorForm()->errorText().contains(QStringLiteral("outdated_found.wav")),
                 qPrintable(form.errorForm()->errorText()));
        QVERIFY(f.h.wave.played.isEmpty());
    }

    void soundPlaysBeforeItsNotice() {
        BackupFixture f;
        f.h.writeSettings("[settings]\ndestination=\n[folders]\nfolder_count=0\nfolder_0=" + f.docs.toUtf8() +
                          "\n");
        qsizetype playedAtNotice = -1;
        f.h.prompts.onShow = [&](const QString& text) {
            if (text == BackupRun::NoDestinationQuestion)
                playedAtNotice = f.h.wave.played.size();
        };
        MainWindow& form = f.h.start();
        f.h.prompts.queueAnswer(false);
        form.program().backup();
        QCOMPARE(playedAtNotice, 1);
        QVERIFY(!form.errorForm()->isVisible());
        QVERIFY(form.close());
    }

    void voiceFollowsTheWindowMode() {
        BackupFixture f;
        f.settings("voice=9", {f.docs});
        MainWindow& form = f.h.start();
        // "only when minimized": toolbar mode hides the main window, so the sound plays.
        form.modes().SetToolbarMode();
        form.program().backup();
        QCOMPARE(f.h.wave.played.size(), 1);
        form.modes().SetNormalMode();
        form.program().backup();
        QCOMPARE(f.h.wave.played.size(), 1);
        QCOMPARE(f.h.soundRequests.size(), 2);
        QVERIFY(form.close());
    }
};

QTEST_MAIN(TestSoundsInRun)
#include "tst_soundsinrun.moc"
