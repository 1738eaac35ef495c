#include "app/mainwindow.h"
#include "backupfixture.h"
#include "config/settingsdialog.h"
#include "config/settingsmodel.h"
#include "unprivilegedscope.h"

#include <QDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
void openToEveryone(const fs::path& top) {
    fs::permissions(top, fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(top))
        fs::permissions(entry.path(), fs::perms::all);
}

QStringList entriesNamedLikeArchives(const BackupFixture& f, const QString& archive) {
    return f.entries(archive).filter(QStringLiteral("Quoralis"));
}
} // namespace

// The folder walk seen through whole backup runs: what ends up in the archives, and where.
class BackupSetRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void datedArchivesInsideAListedFolderNeverNest() {
        BackupFixture f;
        f.destination = f.docs + QStringLiteral("/backups/");
        f.settings("multi_archive=1\n", {f.docs});
        MainWindow& form = f.h.start();
        for (int run = 0; run < 3; ++run) {
            if (run > 0)
                BackupFixture::waitForNextSecond(); // the next run's name has another second in it
            form.program().backup();
        }
        const QStringList archives = f.archives();
        QCOMPARE(archives.size(), 3);
        for (const QString& archive : archives) {
            QVERIFY2(entriesNamedLikeArchives(f, archive).isEmpty(), qPrintable(archive));
            QCOMPARE(f.entries(archive).size(), 2); // a.txt and sub/b.txt
        }
    }

    void oneFolderListedUnderThreeNamesGivesEachFileOnce() {
        BackupFixture f;
        const QString link = f.h.dir.filePath(QStringLiteral("docs-link"));
        fs::create_directory_symlink(f.docs.toStdString(), link.toStdString());
        f.settings("", {f.docs, link, f.docs + QStringLiteral("/./")});
        MainWindow& form = f.h.start();
        for (int run = 0; run < 2; ++run) // an update adds no second copy either
            form.program().backup();
        QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")).size(), 2);
        QVERIFY(f.entries(QStringLiteral("Quoralis.zip")).filter(QStringLiteral("docs-link")).isEmpty());
    }

    void destinationThatIsNotUtf8KeepsItsBytes() {
        BackupFixture f;
        const std::string folder = f.h.dir.fsPath().native() + "/b\xe4"
                                                               "ckups/";
        fs::create_directories(folder);
        const fs::path old = folder + "Quoralis_old.zip";
        std::ofstream(old) << "old";
        fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(24 * 40));
        f.h.writeSettings(
            "[settings]\ndestination=" + QByteArray::fromStdString(folder) +
            "\nmulti_archive=1\nclean_backups=1\nbackup_clean_days=30\n[folders]\nfolder_count=0\nfolder_0=" +
            f.docs.toUtf8() + "\n");
        // The outdated archive there is found at start and after the run; it is kept both times.
        f.h.prompts.queueAnswer(false);
        f.h.prompts.queueAnswer(false);
        MainWindow& form = f.h.start();
        QCOMPARE(form.program().settings().destination().native(), folder);
        form.program().backup();
        int archives = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            archives += entry.path().filename().native().starts_with("Quoralis_") ? 1 : 0;
        QCOMPARE(archives, 2); // the outdated one and this run's
        QCOMPARE(f.h.prompts.questions().size(), 2);
        for (const QString& question : f.h.prompts.questions())
            QVERIFY(question.contains(QStringLiteral("Quoralis_old.zip")));

        form.program().openDestination();
        QCOMPARE(f.h.shell.opened.size(), 1);
        QVERIFY(f.h.prompts.notices().isEmpty());

        QTimer::singleShot(0, form.settingsDialog(), [&] { form.settingsDialog()->accept(); });
        f.h.prompts.queueAnswer(false); // saving the settings looks for outdated archives too
        form.btSettingsClick();         // saves the settings when the dialog closes
        QCOMPARE(f.h.prompts.questions().size(), 3);
        QVERIFY(f.h.settingsText().contains("destination=" + QByteArray::fromStdString(folder) + "\n"));
    }

    void destinationWithoutSeparatorGetsOneWithItsBytes() {
        BackupFixture f;
        const std::string folder = f.h.dir.fsPath().native() + "/d\xff";
        f.h.writeSettings("[settings]\ndestination=" + QByteArray::fromStdString(folder) +
                          "\n[folders]\nfolder_count=0\nfolder_0=" + f.docs.toUtf8() + "\n");
        MainWindow& form = f.h.start();
        form.program().backup();
        QVERIFY(fs::exists(folder + "/Quoralis.zip"));
        QCOMPARE(form.program().settings().destination().native(), folder + "/");
    }

    void unreadableSubfolderMakesTheRunIncomplete() {
        BackupFixture f;
        f.h.dir.writeFile(QStringLiteral("data/Docs/closed/secret.txt"), "s");
        f.settings("", {f.docs});
        MainWindow& form = f.h.start();
        openToEveryone(f.h.dir.fsPath());
        const fs::path closed = f.h.dir.fsPath() / "data/Docs/closed";
        fs::permissions(closed, fs::perms::none);
        {
            UnprivilegedScope unprivileged;
            QVERIFY(unprivileged.isActive());
            form.program().backup();
        }
        fs::permissions(closed, fs::perms::owner_all);
        QVERIFY(f.h.messages().contains(QStringLiteral("Could not read folder: ") +
                                        QString::fromStdString(closed.native())));
        QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backup_incomplete")));
        QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")).size(), 2); // the rest is still backed up
    }
};

QTEST_MAIN(BackupSetRunTest)
#include "tst_backupsetrun.moc"
