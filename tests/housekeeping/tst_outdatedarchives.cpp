#include "housekeepingfixture.h"
#include "unprivilegedscope.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
const QString lf = QStringLiteral("\n\r");

QString firstQuestion(int days, const QStringList& names) {
    QString text =
        QStringLiteral("The following %1 archives are older than %2 days:").arg(names.size()).arg(days) + lf +
        lf;
    for (const QString& name : names)
        text += name + lf;
    return text + lf + QStringLiteral("Do you want to delete these archives?") + lf +
           QStringLiteral("(You can change these settings in \"Settings > Backups\")");
}
} // namespace

// Outdated archives in the destination are offered, and deleted only after two Yes answers.
class OutdatedArchivesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threeArchivesDeletedAfterTwoYes() {
        HousekeepingFixture f;
        f.switchArchiveCheck(true, 30, f.dir.filePath(QStringLiteral("dest")));
        for (const char* name : {"dest/Quoralis_c.zip", "dest/Quoralis_a.zip", "dest/Quoralis_b.zip"})
            f.file(name, f.now.addDays(-31));
        f.prompts.queueAnswer(true);
        f.prompts.queueAnswer(true);

        f.housekeeping.CheckOutdatedArchives();

        // The exact text, line breaks LF then CR.
        QCOMPARE(f.prompts.questions().value(0),
                 QStringLiteral("The following 3 archives are older than 30 "
                                "days:\n\r\n\rQuoralis_a.zip\n\rQuoralis_b.zip\n\rQuoralis_c.zip\n\r"
                                "\n\rDo you want to delete these archives?\n\r"
                                "(You can change these settings in \"Settings > Backups\")"));
        QCOMPARE(f.prompts.questions().value(1),
                 QStringLiteral("Are you absolutely sure you want to delete these 3 files?"));
        // Both questions delete backups: Enter must not answer them Yes.
        QCOMPARE(f.prompts.destructiveQuestions, f.prompts.questions());
        QCOMPARE(f.messages, (QStringList{QStringLiteral("Looking for archives older than 30 days..."),
                                          QStringLiteral("Found 3 outdated archives"),
                                          QStringLiteral("Deleted outdated backup Quoralis_a.zip"),
                                          QStringLiteral("Deleted outdated backup Quoralis_b.zip"),
                                          QStringLiteral("Deleted outdated backup Quoralis_c.zip")}));
        QCOMPARE(f.sounds,
                 (QStringList{QStringLiteral("outdated_found"), QStringLiteral("outdated_deleted")}));
        QVERIFY(fs::is_empty(f.at("dest")));
        QVERIFY(f.prompts.notices().isEmpty());
    }

    void whichFilesAreOffered() {
        HousekeepingFixture f;
        f.switchArchiveCheck(true, 14, f.dir.filePath(QStringLiteral("dest")));
        const QDateTime old = f.now.addSecs(-14 * 86400);
        // Only what this program names its archives is offered, however old the rest is.
        for (const char* name :
             {"dest/Quoralis.zip", "dest/Quoralis_Docs.zip", "dest/QUORALIS_7_12_2026.ZIP",
              "dest/Quoralis_Docs_7_12_2026_10_00_00.zip", "dest/from-another-tool.zip", "dest/QuoralisX.zip",
              "dest/my Quoralis_.zip", "dest/.hidden.zip", "dest/notes.txt", "dest/Quoralis_x.zip.part",
              "dest/sub/Quoralis_deep.zip", "dest/.dot/Quoralis.zip"})
            f.file(name, old);
        f.file("dest/Quoralis_new.zip", old.addSecs(1));
        f.folder("dest/Quoralis_folder.zip");
        f.prompts.queueAnswer(false);

        f.housekeeping.CheckOutdatedArchives();

        QCOMPARE(f.prompts.questions(),
                 QStringList{
                     firstQuestion(14, {QStringLiteral("QUORALIS_7_12_2026.ZIP"),
                                        QStringLiteral("Quoralis.zip"), QStringLiteral("Quoralis_Docs.zip"),
                                        QStringLiteral("Quoralis_Docs_7_12_2026_10_00_00.zip")})});
        QCOMPARE(f.messages.value(1), QStringLiteral("Found 4 outdated archives"));
    }

    void declining_data() {
        QTest::addColumn<QList<bool>>("answers");
        QTest::newRow("No to the first question") << QList<bool>{false};
        QTest::newRow("No to the second question") << QList<bool>{true, false};
    }
    void declining() {
        QFETCH(QList<bool>, answers);
        HousekeepingFixture f;
        f.switchArchiveCheck(true, 7, f.dir.filePath(QStringLiteral("dest")));
        f.file("dest/Quoralis_a.zip", f.now.addDays(-8));
        f.file("dest/Quoralis_b.zip", f.now.addDays(-9));
        for (bool answer : answers)
            f.prompts.queueAnswer(answer);

        f.housekeeping.CheckOutdatedArchives();

        QVERIFY(f.prompts.allAnswersUsed());
        QCOMPARE(f.prompts.questions().size(), answers.size());
        QVERIFY(f.exists("dest/Quoralis_a.zip"));
        QVERIFY(f.exists("dest/Quoralis_b.zip"));
        QCOMPARE(f.messages, (QStringList{QStringLiteral("Looking for archives older than 7 days..."),
                                          QStringLiteral("Found 2 outdated archives")}));
        QCOMPARE(f.sounds, QStringList{QStringLiteral("outdated_found")});

        // Declined archives are offered again next time.
        f.prompts.queueAnswer(false);
        f.housekeeping.CheckOutdatedArchives();
        QCOMPARE(f.prompts.questions().size(), answers.size() + 1);
    }

    void noDestinationSaysNothing_data() {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("switchedOn");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("missing") << QStringLiteral("no/such/folder") << true;
        QTest::newRow("a file") << QStringLiteral("file.zip") << true;
        QTest::newRow("missing, switched off") << QStringLiteral("no/such/folder") << false;
    }
    void noDestinationSaysNothing() {
        QFETCH(QString, destination);
        QFETCH(bool, switchedOn);
        HousekeepingFixture f;
        f.file("file.zip", f.now.addDays(-100));
        f.switchArchiveCheck(switchedOn, 7,
                             destination.isEmpty() ? destination : f.dir.filePath(destination));

        f.housekeeping.CheckOutdatedArchives();

        QVERIFY(f.messages.isEmpty());
        QVERIFY(f.prompts.shown.isEmpty());
        QVERIFY(f.sounds.isEmpty());
        QVERIFY(f.exists("file.zip"));
    }

    void switchedOff() {
        HousekeepingFixture f;
        f.switchArchiveCheck(false, 7, f.dir.filePath(QStringLiteral("dest")));
        f.file("dest/Quoralis_a.zip", f.now.addDays(-100));

        f.housekeeping.CheckOutdatedArchives();

        QVERIFY(f.messages.isEmpty());
        QVERIFY(f.prompts.shown.isEmpty());
        QVERIFY(f.exists("dest/Quoralis_a.zip"));
    }

    void nothingOutdated() {
        HousekeepingFixture f;
        f.switchArchiveCheck(true, 365, f.dir.filePath(QStringLiteral("dest")));
        f.file("dest/Quoralis_recent.zip", f.now.addDays(-364));
        f.file("dest/sub/Quoralis_ancient.zip", f.now.addDays(-1000));

        f.housekeeping.CheckOutdatedArchives();

        QCOMPARE(f.messages, (QStringList{QStringLiteral("Looking for archives older than 365 days..."),
                                          QStringLiteral("No outdated archives found")}));
        QVERIFY(f.prompts.shown.isEmpty());
        QVERIFY(f.sounds.isEmpty());
    }

    void linksAndByteNames() {
        HousekeepingFixture f;
        f.switchArchiveCheck(true, 7, f.dir.filePath(QStringLiteral("dest")));
        const QDateTime old = f.now.addDays(-8);
        const fs::path target = f.file("elsewhere/Quoralis_real.zip", old);
        f.file("dest/Quoralis_old\xff.zip", old);
        fs::create_symlink(target, f.at("dest/Quoralis_link.zip"));
        setModified(f.at("dest/Quoralis_link.zip"), old);
        fs::create_symlink(f.at("elsewhere/gone.zip"), f.at("dest/Quoralis_dangling.zip"));
        f.prompts.queueAnswer(true);
        f.prompts.queueAnswer(true);

        f.housekeeping.CheckOutdatedArchives();

        // Only the regular file is offered and deleted; links and their targets stay.
        QCOMPARE(f.messages.value(1), QStringLiteral("Found 1 outdated archives"));
        QVERIFY(!f.exists("dest/Quoralis_old\xff.zip"));
        QVERIFY(f.exists("dest/Quoralis_link.zip"));
        QVERIFY(f.exists("dest/Quoralis_dangling.zip"));
        QVERIFY(f.exists("elsewhere/Quoralis_real.zip"));
    }

    void failedDeletions_data() {
        QTest::addColumn<bool>("secondDeletable");
        QTest::newRow("one of two fails") << true;
        QTest::newRow("all fail") << false;
    }
    void failedDeletions() {
        QFETCH(bool, secondDeletable);
        HousekeepingFixture f;
        f.switchArchiveCheck(true, 7, f.dir.filePath(QStringLiteral("dest")));
        f.file("dest/Quoralis_a.zip", f.now.addDays(-8));
        const fs::path second = f.file("dest/Quoralis_b.zip", f.now.addDays(-8));
        // As root: in a sticky folder only a file's owner may delete it. Otherwise a
        // read-only folder makes every deletion fail.
        const bool root = ::geteuid() == 0;
        if (!root && secondDeletable)
            QSKIP("needs root to give the files two owners");
        ::chmod(f.dir.path().toLocal8Bit().constData(), 0755);
        ::chmod(f.at("dest").c_str(), root ? 01777 : 0555);
        if (secondDeletable && ::chown(second.c_str(), 65534, 65534) != 0)
            QSKIP("cannot hand a file to another user here");
        f.prompts.queueAnswer(true);
        f.prompts.queueAnswer(true);
        {
            UnprivilegedScope unprivileged;
            if (!unprivileged.isActive())
                QSKIP("cannot drop root rights here");
            f.housekeeping.CheckOutdatedArchives();
        }
        ::chmod(f.at("dest").c_str(), 0755);

        QVERIFY(f.exists("dest/Quoralis_a.zip"));
        QCOMPARE(f.exists("dest/Quoralis_b.zip"), !secondDeletable);
        QCOMPARE(f.messages.mid(2),
                 (QStringList{QStringLiteral("Unable to delete outdated backup Quoralis_a.zip"),
                              secondDeletable
                                  ? QStringLiteral("Deleted outdated backup Quoralis_b.zip")
                                  : QStringLiteral("Unable to delete outdated backup Quoralis_b.zip")}));
        QCOMPARE(f.sounds.contains(QStringLiteral("outdated_deleted")), secondDeletable);
    }
};

QTEST_MAIN(OutdatedArchivesTest)
#include "tst_outdatedarchives.moc"
