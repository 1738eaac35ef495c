#include "apptestharness.h"
#include "config/tform2.h"
#include "engine/archivejob.h"
#include "log/timestamp.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <sys/xattr.h>

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
    void archiveInUseIsReported();
    void jobsAreCountedInTheSettingsFile();

private:
    static QStringList entries(const QString& archive);
};

QStringList TestArchiveJob::entries(const QString& archive) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    unzip.waitForFinished(60000);
    QStringList names =
        QString::fromUtf8(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

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
    TBForm& form = h.start();
    form.settingsDialog()->Destination()->setText(QStringLiteral("/dest"));
    form.settingsDialog()->cbEach()->setChecked(each);
    const fs::path base = form.archiveJob()->ArchiveBaseName(fs::path(folder.toStdString()));
    QCOMPARE(QString::fromStdString(base.native()), expected);
    // The missing separator is added to the destination field itself.
    QCOMPARE(form.settingsDialog()->Destination()->text(), QStringLiteral("/dest/"));
    QCOMPARE(QString::fromStdString(ArchiveJob::archiveFileName(base).native()),
             expected + QStringLiteral(".zip"));
}

void TestArchiveJob::exampleNameFollowsTheBoxes() {
    AppTestHarness h;
    TBForm& form = h.start();
    TForm2* f = form.settingsDialog();
    QLabel* example = f->XLabel();
    QCOMPARE(example->text(), QStringLiteral("Example archive name:\n\rQuoralis"));
    f->cbEach()->click();
    QCOMPARE(example->text(), QStringLiteral("Example archive name:\n\rQuoralis_MyDocs"));
    f->cbMulti()->click();
    QVERIFY(example->text().startsWith(QStringLiteral("Example archive name:\n\rQuoralis_MyDocs_")));
    QVERIFY(!example->text().mid(22).contains(QRegularExpression(QStringLiteral("[ :/\\\\-]"))));
}

void TestArchiveJob::zipFolderNameGetsNoSecondExtension() {
    AppTestHarness h;
    const QString folder = h.dir.filePath(QStringLiteral("Old.zip"));
    h.dir.writeFile(QStringLiteral("Old.zip/file.txt"), "content");
    const QString destination = h.dir.filePath(QStringLiteral("dest"));
    h.writeSettings("[settings]\neach_folder=1\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n");
    TBForm& form = h.start();
    form.btBackupClick();
    QCOMPARE(QDir(destination).entryList(QDir::Files), QStringList(QStringLiteral("Quoralis_Old.zip")));
    // The size in the log is the size of that very file.
    const QString created = h.messages().filter(QStringLiteral("Backup created: ")).value(0);
    QVERIFY2(!created.contains(QStringLiteral("-1 bytes")), qPrintable(created));
    // A second run finds it and updates it.
    form.btBackupClick();
    QCOMPARE(QDir(destination).entryList(QDir::Files), QStringList(QStringLiteral("Quoralis_Old.zip")));
}

void TestArchiveJob::emptyListWritesNothingAndCountsNothing() {
    AppTestHarness h;
    const QString folder = h.dir.filePath(QStringLiteral("empty"));
    h.dir.writeFile(QStringLiteral("empty/zero.txt"), QByteArray());
    const QString destination = h.dir.filePath(QStringLiteral("dest"));
    h.writeSettings("[settings]\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n");
    TBForm& form = h.start();
    form.btBackupClick();
    QVERIFY(h.messages().contains(QStringLiteral("No files for backup")));
    QVERIFY(QDir(destination).entryList(QDir::Files).isEmpty());
    QCOMPARE(form.totalBackups(), quint64(0));
}

void TestArchiveJob::updateAddsToTheExistingArchive() {
    AppTestHarness h;
    const QString folder = h.dir.filePath(QStringLiteral("data"));
    h.dir.writeFile(QStringLiteral("data/one.txt"), "one");
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    h.writeSettings("[settings]\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n");
    TBForm& form = h.start();
    form.btBackupClick();
    h.dir.writeFile(QStringLiteral("data/two.txt"), "two");
    form.btBackupClick();
    const QString prefix = folder.mid(1) + QLatin1Char('/');
    QCOMPARE(entries(destination + QStringLiteral("Quoralis.zip")),
             QStringList({prefix + QStringLiteral("one.txt"), prefix + QStringLiteral("two.txt")}));
}

void TestArchiveJob::deletePreviousStartsAfresh() {
    AppTestHarness h;
    const QString folder = h.dir.filePath(QStringLiteral("data"));
    h.dir.writeFile(QStringLiteral("data/one.txt"), "one");
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    h.writeSettings("[settings]\ndel_prev=1\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n");
    TBForm& form = h.start();
    form.btBackupClick();
    QFile::remove(folder + QStringLiteral("/one.txt"));
    h.dir.writeFile(QStringLiteral("data/two.txt"), "two");
    form.btBackupClick();
    QVERIFY(h.messages().contains(QStringLiteral("Deleting previous backup")));
    QCOMPARE(entries(destination + QStringLiteral("Quoralis.zip")),
             QStringList(folder.mid(1) + QStringLiteral("/two.txt")));
}

void TestArchiveJob::changedOnlyResetsTheArchiveAttribute() {
    AppTestHarness h;
    const QString folder = h.dir.filePath(QStringLiteral("data"));
    const QString file = h.dir.writeFile(QStringLiteral("data/one.txt"), "one");
    if (::lsetxattr(file.toUtf8().constData(), "user.probe", "1", 1, 0) != 0)
        QSKIP("this file system keeps no extended attributes");
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    h.writeSettings("[settings]\nnew_only=1\nmulti_archive=1\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n");
    TBForm& form = h.start();
    form.btBackupClick();
    QCOMPARE(QDir(destination).entryList(QDir::Files).size(), 1);
    // Nothing changed since: the next run finds nothing to back up.
    QTest::qWait(1100);
    form.btBackupClick();
    QVERIFY(h.messages().contains(QStringLiteral("No files for backup")));
    QCOMPARE(QDir(destination).entryList(QDir::Files).size(), 1);
    // A changed file is taken again.
    h.dir.writeFile(QStringLiteral("data/one.txt"), "one, changed");
    form.btBackupClick();
    QCOMPARE(QDir(destination).entryList(QDir::Files).size(), 2);
}

void TestArchiveJob::archiveInUseIsReported() {
    AppTestHarness h;
    const QString folder = h.dir.filePath(QStringLiteral("data"));
    h.dir.writeFile(QStringLiteral("data/one.txt"), "one");
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    h.writeSettings("[settings]\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n");
    TBForm& form = h.start();
    form.btBackupClick();
    // Another process locks the archive.
    QProcess locker;
    locker.start(QStringLiteral("flock"), {QStringLiteral("-x"), destination + QStringLiteral("Quoralis.zip"),
                                           QStringLiteral("sleep"), QStringLiteral("30")});
    QVERIFY(locker.waitForStarted());
    QTest::qWait(300);
    h.prompts.shown.clear();
    form.btBackupClick();
    locker.kill();
    locker.waitForFinished();
    QCOMPARE(h.prompts.notices(), QStringList(QStringLiteral("Destination file is in use:\n\r") +
                                              destination + QStringLiteral("Quoralis")));
    QVERIFY(
        h.messages().contains(QStringLiteral("File is in use: ") + destination + QStringLiteral("Quoralis")));
    QCOMPARE(form.totalBackups(), quint64(1));
}

void TestArchiveJob::jobsAreCountedInTheSettingsFile() {
    AppTestHarness h(false);
    const QString folder = h.dir.filePath(QStringLiteral("data"));
    h.dir.writeFile(QStringLiteral("data/one.txt"), "one");
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    h.writeSettings("[settings]\ndestination=" + destination.toUtf8() +
                    "\n[folders]\nfolder_0=" + folder.toUtf8() + "\n[stats]\ntotal_backups=5\n");
    TBForm& form = h.start();
    // Without the engine the archive fails, and the job is counted all the same.
    form.btBackupClick();
    QCOMPARE(form.totalBackups(), quint64(6));
    QVERIFY(h.settingsText().contains("total_backups=6"));
    QCOMPARE(form.settingsDialog()->TBLabel()->text(), QStringLiteral("6"));
    QVERIFY(h.messages().contains(QStringLiteral("Backup NOT created: ") + destination +
                                  QStringLiteral("Quoralis")));
}

QTEST_MAIN(TestArchiveJob)
#include "tst_archivejob.moc"
