#include "apptestharness.h"
#include "backupfixture.h"
#include "config/settingsdialog.h"
#include "engine/archivecomponent.h"
#include "engine/archivejob.h"
#include "log/timestamp.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Archive names and the archive job, through the main window's settings.
class TestArchiveJob : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void baseNames_data();
    void baseNames();
    void exampleNameFollowsTheBoxes();
    void zipFolderNameGetsNoSecondExtension();
    void emptyListWritesNothingAndCountsNothing();
    void updateAddsToTheExistingArchive();
    void deletePreviousStartsAfresh();
    void changedOnlyResetsTheArchiveAttribute();
    void changedOnlyPutsBackAnEntryAnotherToolRemoved();
    void archiveInUseIsReported();
    void archiveBeingWrittenByAnotherRunIsLeftAlone();
    void jobsAreCountedInTheSettingsFile();
    void missingFileIsReportedAndTheBackupIsIncomplete();
    void overlappingFoldersGiveOneEntryPerFile();
    void relativeFolderIsTakenFromTheProgramDirectory();
    void fileChangingWhileReadIsStoredOnceAndReported();
    void deletePreviousKeepsTheOldArchiveUntilTheNewIsComplete();
    void archiveWrittenByAnotherRunMeanwhileIsKept();
};

void TestArchiveJob::baseNames_data() {
    QTest::addColumn<bool>("each");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("single") << false << "/data/MyDocs"
                            << "/dest/Quoralis";
    QTest::newRow("per folder") << true << "/data/MyDocs/"
                                << "/dest/Quoralis_MyDocs";
    QTest::newRow("dot in name") << true << "/data/my.docs"
                                 << "/dest/Quoralis_my.docs";
    QTest::newRow("root") << true << "/"
                          << "/dest/Quoralis_root";
}

void TestArchiveJob::baseNames() {
    QFETCH(bool, each);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    AppTestHarness h;
    MainWindow& form = h.start();
    form.settingsDialog()->Destination()->setText(QStringLiteral("/dest"));
    form.settingsDialog()->cbEach()->setChecked(each);
    const fs::path base = form.program().archiveJob().ArchiveBaseName(fs::path(folder.toStdString()));
    QCOMPARE(QString::fromStdString(base.native()), expected);
    // The missing separator is added to the destination field itself.
    QCOMPARE(form.settingsDialog()->Destination()->text(), QStringLiteral("/dest/"));
    QCOMPARE(QString::fromStdString(ArchiveJob::archiveFileName(base).native()),
             expected + QStringLiteral(".zip"));
}

void TestArchiveJob::exampleNameFollowsTheBoxes() {
    AppTestHarness h;
    MainWindow& form = h.start();
    SettingsDialog* f = form.settingsDialog();
    QLabel* example = f->XLabel();
    QCOMPARE(example->text(), QStringLiteral("Example archive name:\nQuoralis"));
    f->cbEach()->click();
    QCOMPARE(example->text(), QStringLiteral("Example archive name:\nQuoralis_MyDocs"));
    f->cbMulti()->click();
    QVERIFY(example->text().startsWith(QStringLiteral("Example archive name:\nQuoralis_MyDocs_")));
    QVERIFY(!example->text().mid(22).contains(QRegularExpression(QStringLiteral("[ :/\\\\-]"))));
}

void TestArchiveJob::zipFolderNameGetsNoSecondExtension() {
    BackupFixture f;
    const QString folder = f.h.dir.filePath(QStringLiteral("Old.zip"));
    f.h.dir.writeFile(QStringLiteral("Old.zip/file.txt"), "content");
    f.settings("each_folder=1\n", {folder});
    MainWindow& form = f.h.start();
    form.program().backup();
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis_Old.zip")));
    // The size in the log is the size of that very file.
    const QString created = f.h.messages().filter(QStringLiteral("Backup created: ")).value(0);
    QVERIFY2(!created.contains(QStringLiteral("-1 bytes")), qPrintable(created));
    // A second run finds it and updates it.
    form.program().backup();
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis_Old.zip")));
}

void TestArchiveJob::emptyListWritesNothingAndCountsNothing() {
    BackupFixture f;
    const QString empty = f.h.dir.filePath(QStringLiteral("empty"));
    f.h.dir.writeFile(QStringLiteral("empty/zero.txt"), QByteArray());
    f.settings("", {empty});
    MainWindow& form = f.h.start();
    form.program().backup();
    QVERIFY(f.h.messages().contains(QStringLiteral("No files for backup")));
    QVERIFY(f.archives().isEmpty());
    QCOMPARE(form.program().settings().totalBackups(), quint64(0));
}

void TestArchiveJob::updateAddsToTheExistingArchive() {
    BackupFixture f;
    f.settings("", {f.photos});
    MainWindow& form = f.h.start();
    form.program().backup();
    f.h.dir.writeFile(QStringLiteral("data/Photos/d.txt"), "two");
    form.program().backup();
    const QString prefix = f.photos.mid(1) + QLatin1Char('/');
    QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")),
             QStringList({prefix + QStringLiteral("c.png"), prefix + QStringLiteral("d.txt")}));
}

void TestArchiveJob::deletePreviousStartsAfresh() {
    BackupFixture f;
    f.settings("del_prev=1\n", {f.photos});
    MainWindow& form = f.h.start();
    form.program().backup();
    QFile::remove(f.photos + QStringLiteral("/c.png"));
    f.h.dir.writeFile(QStringLiteral("data/Photos/d.txt"), "two");
    form.program().backup();
    QVERIFY(f.h.messages().contains(QStringLiteral("Deleting previous backup")));
    QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")),
             QStringList(f.photos.mid(1) + QStringLiteral("/d.txt")));
}

void TestArchiveJob::changedOnlyResetsTheArchiveAttribute() {
    BackupFixture f;
    const QString file = f.photos + QStringLiteral("/c.png");
    if (::lsetxattr(file.toUtf8().constData(), "user.probe", "1", 1, 0) != 0)
        QSKIP("this file system keeps no extended attributes");
    f.settings("new_only=1\nmulti_archive=1\n", {f.photos});
    // A file changed in the last moments before a run may still be changing: it is taken, and
    // marked only once it has been left alone for a little while (20 ms).
    QTest::qWait(50);
    MainWindow& form = f.h.start();
    form.program().backup();
    QCOMPARE(f.archives().size(), 1);
    // Nothing changed since: the next run finds nothing to back up, and the one after it names
    // its archive in another second.
    BackupFixture::waitForNextSecond();
    form.program().backup();
    QVERIFY(f.h.messages().contains(QStringLiteral("No files for backup")));
    QCOMPARE(f.archives().size(), 1);
    // A changed file is taken again.
    f.h.dir.writeFile(QStringLiteral("data/Photos/c.png"), "changed");
    form.program().backup();
    QCOMPARE(f.archives().size(), 2);
}

void TestArchiveJob::changedOnlyPutsBackAnEntryAnotherToolRemoved() {
    // Changed files only, into one archive updated in place: an entry that another program took
    // out of the archive is added again, though its file has not changed since it was backed up.
    BackupFixture f;
    const QString file = f.photos + QStringLiteral("/c.png");
    if (::lsetxattr(file.toUtf8().constData(), "user.probe", "1", 1, 0) != 0)
        QSKIP("this file system keeps no extended attributes");
    f.settings("new_only=1\n", {f.photos});
    MainWindow& form = f.h.start();
    form.program().backup();
    const QStringList all = f.entries(QStringLiteral("Quoralis.zip"));
    const QString removed = f.photos.mid(1) + QStringLiteral("/c.png");
    QVERIFY(all.contains(removed));
    QCOMPARE(
        QProcess::execute(QStringLiteral("zip"),
                          {QStringLiteral("-dq"), f.destination + QStringLiteral("Quoralis.zip"), removed}),
        0);
    QVERIFY(!f.entries(QStringLiteral("Quoralis.zip")).contains(removed));
    form.program().backup();
    QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")), all);
    QVERIFY(BackupFixture::unzipTest(f.destination + QStringLiteral("Quoralis.zip")));
}

void TestArchiveJob::archiveInUseIsReported() {
    BackupFixture f;
    f.settings("", {f.photos});
    MainWindow& form = f.h.start();
    form.program().backup();
    // Another process locks the archive: it says so once it holds the lock, and lets go when its
    // input ends.
    QProcess locker;
    locker.start(QStringLiteral("flock"),
                 {QStringLiteral("-x"), f.destination + QStringLiteral("Quoralis.zip"), QStringLiteral("sh"),
                  QStringLiteral("-c"), QStringLiteral("echo locked; exec cat")});
    QVERIFY(locker.waitForStarted());
    QVERIFY(locker.waitForReadyRead(60000));
    QCOMPARE(locker.readLine(), QByteArray("locked\n"));
    f.h.prompts.shown.clear();
    form.program().backup();
    locker.closeWriteChannel();
    QVERIFY(locker.waitForFinished());
    const QString base = f.destination + QStringLiteral("Quoralis");
    QCOMPARE(f.h.prompts.notices(), QStringList(QStringLiteral("Destination file is in use:\n\r") + base));
    QVERIFY(f.h.messages().contains(QStringLiteral("File is in use: ") + base));
    QCOMPARE(form.program().settings().totalBackups(), quint64(1));
}

void TestArchiveJob::archiveBeingWrittenByAnotherRunIsLeftAlone() {
    BackupFixture f;
    f.settings("del_prev=1\n", {f.photos});
    MainWindow& form = f.h.start();
    form.program().backup();
    const QString archive = f.destination + QStringLiteral("Quoralis.zip");
    QFile file(archive);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray previous = file.readAll();
    file.close();
    // A second copy of the program is writing this archive now: it holds the archive's lock.
    const int fd = ::open(QFile::encodeName(f.destination + QStringLiteral(".Quoralis.zip.lock")).constData(),
                          O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    QCOMPARE(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    f.h.prompts.shown.clear();
    form.program().backup();
    ::close(fd);
    const QString base = f.destination + QStringLiteral("Quoralis");
    QCOMPARE(f.h.prompts.notices(), QStringList(QStringLiteral("Destination file is in use:\n\r") + base));
    QVERIFY(f.h.messages().contains(QStringLiteral("File is in use: ") + base));
    QCOMPARE(form.program().settings().totalBackups(), quint64(1));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), previous);
}

void TestArchiveJob::jobsAreCountedInTheSettingsFile() {
    BackupFixture f(false);
    f.settings("\n[stats]\ntotal_backups=5", {f.photos});
    MainWindow& form = f.h.start();
    // Without the engine the archive fails, and the job is counted all the same.
    form.program().backup();
    QCOMPARE(form.program().settings().totalBackups(), quint64(6));
    QVERIFY(f.h.settingsText().contains("total_backups=6"));
    QCOMPARE(form.settingsDialog()->TBLabel()->text(), QStringLiteral("6"));
    QVERIFY(f.h.messages().contains(QStringLiteral("Backup NOT created: ") + f.destination +
                                    QStringLiteral("Quoralis")));
}

void TestArchiveJob::missingFileIsReportedAndTheBackupIsIncomplete() {
    BackupFixture f;
    f.settings("", {f.photos});
    MainWindow& form = f.h.start();
    QDir().mkpath(f.destination);
    const fs::path present = (f.photos + QStringLiteral("/c.png")).toStdString();
    const fs::path vanished = (f.photos + QStringLiteral("/vanished.txt")).toStdString();
    ArchiveJob& job = form.program().archiveJob();
    job.beginRun();
    job.MakeArchive(job.ArchiveBaseName({}), {present, vanished});
    // The rest is archived and named, but the backup is not complete.
    QVERIFY(job.archiveFailed());
    QVERIFY(BackupFixture::unzipTest(f.destination + QStringLiteral("Quoralis.zip")));
    QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")),
             QStringList(f.photos.mid(1) + QStringLiteral("/c.png")));
    const QStringList errors = f.h.messages().filter(QStringLiteral("ZIP Error: "));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(QString::fromStdString(vanished.native())));
    QCOMPARE(f.h.messages().filter(QStringLiteral("Backup created: ")).size(), 1);
}

void TestArchiveJob::overlappingFoldersGiveOneEntryPerFile() {
    BackupFixture f;
    f.settings("", {f.docs, f.docs + QStringLiteral("/sub")});
    MainWindow& form = f.h.start();
    form.program().backup();
    const QString prefix = f.docs.mid(1);
    const QStringList expected{prefix + QStringLiteral("/a.txt"), prefix + QStringLiteral("/sub/b.txt")};
    QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")), expected);
    // Nothing changed: the next run leaves the archive as it is.
    QFile archive(f.destination + QStringLiteral("Quoralis.zip"));
    QVERIFY(archive.open(QIODevice::ReadOnly));
    const QByteArray before = archive.readAll();
    archive.close();
    form.program().backup();
    QVERIFY(archive.open(QIODevice::ReadOnly));
    QCOMPARE(archive.readAll(), before);
    QCOMPARE(f.entries(QStringLiteral("Quoralis.zip")), expected);
}

void TestArchiveJob::relativeFolderIsTakenFromTheProgramDirectory() {
    BackupFixture f;
    f.settings("each_folder=1\n", {f.photos, QStringLiteral("data/Docs")});
    MainWindow& form = f.h.start();
    // Each archive job leaves the current directory in the destination.
    QDir::setCurrent(QDir::tempPath());
    form.program().backup();
    QCOMPARE(f.archives(),
             QStringList({QStringLiteral("Quoralis_Docs.zip"), QStringLiteral("Quoralis_Photos.zip")}));
    QCOMPARE(f.entries(QStringLiteral("Quoralis_Docs.zip")).size(), 2);
    QVERIFY(f.h.messages().filter(QStringLiteral("ZIP Error")).isEmpty());
}

void TestArchiveJob::fileChangingWhileReadIsStoredOnceAndReported() {
    BackupFixture f;
    f.addBulk();
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    QDir().mkpath(f.destination);
    // Another program rewrites the big file all the time while the archive is made.
    const QString bulk = f.docs + QStringLiteral("/bulk.bin");
    std::atomic<bool> done{false};
    std::thread writer([&] {
        QFile file(bulk);
        if (!file.open(QIODevice::ReadWrite))
            return;
        for (char c = 0; !done.load(); ++c) {
            file.seek(file.size() / 2);
            file.write(&c, 1);
            file.flush();
            QThread::msleep(1);
        }
    });
    ArchiveJob& job = form.program().archiveJob();
    job.beginRun();
    job.MakeArchive(job.ArchiveBaseName({}),
                    {(f.docs + QStringLiteral("/a.txt")).toStdString(), bulk.toStdString()});
    done.store(true);
    writer.join();
    // The file is never absent from the backup: one complete read of it is stored, the log names
    // it, and the backup counts as incomplete.
    QVERIFY(job.archiveFailed());
    QStringList entries = f.entries(QStringLiteral("Quoralis.zip"));
    entries.sort();
    QCOMPARE(entries, QStringList({f.docs.mid(1) + QStringLiteral("/a.txt"), bulk.mid(1)}));
    const QStringList errors = f.h.messages().filter(QStringLiteral("ZIP Error: "));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(bulk + QStringLiteral(": it kept changing while it was read")),
             qPrintable(errors.first()));
}

void TestArchiveJob::deletePreviousKeepsTheOldArchiveUntilTheNewIsComplete() {
    BackupFixture f;
    f.addBulk();
    f.settings("del_prev=1\n", {f.docs});
    MainWindow& form = f.h.start();
    form.program().backup();
    const QString archive = f.destination + QStringLiteral("Quoralis.zip");
    QFile first(archive);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray previous = first.readAll();
    first.close();
    // The second backup is cancelled half-way: the first one is still there, whole.
    BackupFixture::onFirstFile(form, [&form] { form.program().archiveComponent().RequestCancel(); });
    form.program().backup();
    QVERIFY(f.h.messages().contains(QStringLiteral("Deleting previous backup")));
    QVERIFY(f.h.messages().contains(QStringLiteral("Backup cancelled, not created: ") + f.destination +
                                    QStringLiteral("Quoralis")));
    QFile after(archive);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), previous);
}

void TestArchiveJob::archiveWrittenByAnotherRunMeanwhileIsKept() {
    BackupFixture f;
    f.addBulk();
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    QDir().mkpath(f.destination);
    const QString archive = f.destination + QStringLiteral("Quoralis.zip");
    // A second copy of the program finishes its archive of the same name while this one works.
    BackupFixture::onFirstFile(
        form, [&f] { f.h.dir.writeFile(QStringLiteral("backups/Quoralis.zip"), "the other run's archive"); });
    form.program().backup();
    QFile other(archive);
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("the other run's archive"));
    QVERIFY(f.h.messages().contains(QStringLiteral("Backup NOT created: ") + f.destination +
                                    QStringLiteral("Quoralis")));
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backup_incomplete")));
}

QTEST_MAIN(TestArchiveJob)
#include "tst_archivejob.moc"
