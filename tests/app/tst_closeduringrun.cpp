#include "apptestharness.h"
#include "backupfixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

namespace {

const QString cancelAndClose = QStringLiteral("A backup is in progress. Cancel it and close Quoralis2005?");

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void makeOld(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-40), QFileDevice::FileModificationTime));
}

// Every file of the destination, hidden ones (an engine's temporary file) included.
QStringList everyFile(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

// A close, or the session ending, while a backup runs: the run ends through its cancel path
// before the close sequence starts, and no question nobody answered deletes anything.
class TestCloseDuringRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void closeWhileArchiving_data();
    void closeWhileArchiving();
    void closeButtonsAskTheSameQuestion();
    void terminationCancelsWithoutAQuestionAndEnds();
    void unansweredQuestionsDeleteNothing();
};

void TestCloseDuringRun::closeWhileArchiving_data() {
    QTest::addColumn<bool>("eachFolder");
    QTest::addColumn<bool>("yes");
    QTest::newRow("one archive, Yes") << false << true;
    QTest::newRow("one archive, No") << false << false;
    QTest::newRow("per folder, Yes") << true << true;
    QTest::newRow("per folder, No") << true << false;
}

void TestCloseDuringRun::closeWhileArchiving() {
    QFETCH(bool, eachFolder);
    QFETCH(bool, yes);
    BackupFixture f;
    f.addBulk();
    // Dated archives, so that the cleanup of outdated ones is on.
    f.settings(QByteArray("multi_archive=1\nclean_backups=1\nkeep_log=1\neach_folder=") +
                   (eachFolder ? "1" : "0"),
               {f.docs, f.photos});
    MainWindow& form = f.h.start();
    form.program().backup();
    const QStringList previous = f.archives();
    QCOMPARE(previous.size(), eachFolder ? 2 : 1);
    QMap<QString, QByteArray> previousBytes;
    for (const QString& name : previous)
        previousBytes[name] = bytesOf(f.destination + name);
    const QString outdated = f.h.dir.writeFile(QStringLiteral("backups/Quoralis_old.zip"), "old");
    makeOld(outdated);
    f.h.dir.writeFile(QStringLiteral("data/Docs/new.txt"), "changed since the last backup");
    // New data enough to keep the second archive busy well past its first file, also when it
    // updates the first one (dated names made within one second are the same).
    QByteArray more(32 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(more.data()), more.size() / 4);
    f.h.dir.writeFile(QStringLiteral("data/Docs/more.bin"), more);
    f.h.dir.writeFile(QStringLiteral("data/Photos/new.png"), "changed since the last backup");
    f.h.prompts.shown.clear();
    f.h.soundRequests.clear();
    const int linesBefore = f.h.messages().size();

    // The tray menu's "Close" while the first archive is being written.
    f.h.prompts.queueAnswer(yes);
    // "No": the run goes on and the outdated-archive check after it is never answered.
    // "Yes": the close the user asked for asks nothing more, not even at its settings save.
    if (!yes)
        f.h.prompts.queueNoAnswer();
    BackupFixture::onFirstFile(form, [&form] { form.Close1Click(); });
    form.program().backup();
    const QStringList during = f.h.messages().mid(linesBefore);

    QCOMPARE(f.h.prompts.questions().value(0), cancelAndClose);
    QCOMPARE(f.h.prompts.questions().size(), yes ? 1 : 2);
    if (!yes)
        QVERIFY(f.h.prompts.questions().value(1).startsWith(QStringLiteral("The following 1 archives")));
    QVERIFY2(QFile::exists(outdated), "an unanswered question deleted an archive");
    QVERIFY(f.h.prompts.allAnswersUsed());
    if (yes) {
        QVERIFY(form.program().hasEnded());
        QCOMPARE(form.program().exitCode(), int(ExitStatus::BackupIncomplete));
        // Cancelled the normal way: every previous archive byte for byte, no temporary left.
        for (const QString& name : previous)
            QVERIFY(bytesOf(f.destination + name) == previousBytes.value(name));
        QStringList expected = previous;
        expected.append(QStringLiteral("Quoralis_old.zip"));
        expected.sort();
        QCOMPARE(everyFile(f.destination), expected);
        QVERIFY(during.contains(QStringLiteral("Backup cancelled: the program is closing")));
        QVERIFY(during.filter(QStringLiteral("Backup created: ")).isEmpty());
        // A cancel, not an error: nothing logged as one and no box that the close would wait for.
        QVERIFY(during.filter(QStringLiteral("Error")).isEmpty());
        QVERIFY(during.filter(QStringLiteral("NOT created")).isEmpty());
        QVERIFY(f.h.prompts.notices().isEmpty());
        QVERIFY(!f.h.soundRequests.contains(QStringLiteral("backup_completed")));
        QVERIFY(!f.h.soundRequests.contains(QStringLiteral("backups_completed")));
        // The close sequence ran once, after the run had ended.
        QCOMPARE(during.count(QStringLiteral("Saving config...")), 1);
        const qsizetype closing =
            during.indexOf(QRegularExpression(QStringLiteral("Closing Quoralis2005.*")));
        QVERIFY(closing > during.indexOf(QStringLiteral("Backup cancelled: the program is closing")));
        QCOMPARE(QDir(f.h.dir.filePath(QStringLiteral("logs"))).entryList(QDir::Files).size(), 1);
    } else {
        QVERIFY(!form.program().hasEnded());
        QCOMPARE(during.filter(QStringLiteral("Backup created: ")).size(), previous.size());
        for (const QString& name : f.archives())
            QVERIFY(name == QStringLiteral("Quoralis_old.zip") ||
                    BackupFixture::unzipTest(f.destination + name));
        QVERIFY(!during.contains(QStringLiteral("Closing Quoralis2005 v.") +
                                 QStringLiteral(QUORALIS_VERSION_TEXT)));
        QCOMPARE(form.program().exitCode(), int(ExitStatus::AllArchivesMade));
    }
}

void TestCloseDuringRun::closeButtonsAskTheSameQuestion() {
    BackupFixture f;
    f.addBulk();
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    // The close button of the main window, then the window's own close (the frame's button),
    // both answered No: the run goes on and makes its archive.
    f.h.prompts.queueAnswer(false);
    f.h.prompts.queueAnswer(false);
    BackupFixture::onFirstFile(form, [&form] {
        form.btCloseClick();
        form.close();
    });
    form.program().backup();
    QCOMPARE(f.h.prompts.questions(), QStringList({cancelAndClose, cancelAndClose}));
    QVERIFY(!form.program().hasEnded());
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QVERIFY(BackupFixture::unzipTest(f.destination + QStringLiteral("Quoralis.zip")));
    // Idle again, a close asks the usual question.
    f.h.prompts.queueAnswer(true);
    form.btCloseClick();
    QCOMPARE(f.h.prompts.questions().last(), QStringLiteral("Are you sure you want to close Quoralis2005?"));
    QVERIFY(form.program().hasEnded());
}

void TestCloseDuringRun::terminationCancelsWithoutAQuestionAndEnds() {
    BackupFixture f;
    f.addBulk();
    // Many folders: the request may come while a folder is walked or while it is archived.
    for (int i = 0; i < 300; ++i)
        f.h.dir.writeFile(QStringLiteral("data/Docs/many/%1/f.txt").arg(i), "x");
    f.settings("each_folder=0\nbackup_close=1\n", {f.docs, f.photos});
    MainWindow& form = f.h.start();
    QTimer::singleShot(0, &form, [&form] { form.program().requestTermination(); });
    form.program().backup();
    QVERIFY(form.program().hasEnded());
    QVERIFY(f.h.prompts.shown.isEmpty());
    QVERIFY(f.archives().isEmpty());
    QVERIFY(everyFile(f.destination).isEmpty());
    QVERIFY(f.h.messages().filter(QStringLiteral("Backup created: ")).isEmpty());
    // The session is ending: no backup at close.
    QVERIFY(!f.h.messages().contains(QStringLiteral("Making automatic shutdown backup")));
    QCOMPARE(form.program().exitCode(), int(ExitStatus::BackupIncomplete));
}

void TestCloseDuringRun::unansweredQuestionsDeleteNothing() {
    AppTestHarness h;
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    const QString oldArchive = h.dir.writeFile(QStringLiteral("dest/Quoralis.zip"), "old");
    makeOld(oldArchive);
    h.writeSettings("[settings]\nmulti_archive=1\nclean_backups=1\ndestination=" + destination.toUtf8() +
                    "\n");
    // The first question dismissed, then (at the next check) the second one.
    h.prompts.queueNoAnswer();
    MainWindow& form = h.start();
    QVERIFY(QFile::exists(oldArchive));
    h.prompts.queueAnswer(true);
    h.prompts.queueNoAnswer();
    form.program().checkOutdatedArchives();
    QVERIFY(QFile::exists(oldArchive));
    QCOMPARE(h.prompts.questions().size(), 3);
    QVERIFY(h.prompts.allAnswersUsed());
}

QTEST_MAIN(TestCloseDuringRun)
#include "tst_closeduringrun.moc"
