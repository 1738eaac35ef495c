// The new archive reaches the disk before it takes the archive's name, as seen at the system
// calls of a child process that runs the job with a recorder preloaded; a sync that fails
// leaves the previous archive as it was.
#include "engine/archivecomponent.h"
#include "enginefixture.h"
#include "syncrecorder.h"
#include "zipengine_api.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace {

struct Call {
    QByteArray what; // "sync", "sync-failed", "sync-folder", "link" or "rename"
    QByteArray file; // device:inode
    QByteArray name; // the new name of a link or rename
};

QList<Call> readCalls(const QString& log) {
    QFile file(log);
    QList<Call> calls;
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3)
            calls.append({fields[0], fields[1], fields[2]});
    }
    return calls;
}

QByteArray fileIdOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino));
}

QString describe(const QList<Call>& calls) {
    QString text;
    for (const Call& call : calls)
        text += QString::fromLatin1(call.what + ' ' + call.file + ' ' + call.name + '\n');
    return text;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().native());
    return names;
}

struct ChildRun {
    int exitCode = -1;
    QString output;
    QList<Call> calls;
};

ChildRun runRecorded(const EngineFixture& f, const QStringList& options, bool failSyncs) {
    const fs::path file = f.writeSource("new/data.txt", EngineFixture::text(300000, 7));
    QTemporaryDir logDir;
    const QString log = logDir.filePath(QStringLiteral("calls"));
    QProcess child;
    child.setProcessEnvironment(syncRecorderEnvironment(QStringLiteral(SYNCRECORDER), log, failSyncs));
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral(ZIPJOBCHILD), QStringList{QString::fromStdString(f.engineDir().native()),
                                                         QString::fromStdString(f.archivePath().native())} +
                                                 options +
                                                 QStringList{QString::fromStdString(file.native())});
    ChildRun run;
    if (!child.waitForFinished(120000))
        return run;
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    run.output = QString::fromLocal8Bit(child.readAll());
    run.calls = readCalls(log);
    return run;
}

} // namespace

class ArchiveSyncTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void archiveSyncedBeforeItIsNamed_data();
    void archiveSyncedBeforeItIsNamed();
    void failedSyncKeepsPreviousArchive_data();
    void failedSyncKeepsPreviousArchive();
};

void ArchiveSyncTest::archiveSyncedBeforeItIsNamed_data() {
    QTest::addColumn<bool>("previous");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("first archive") << false << QStringList();
    QTest::newRow("update") << true << QStringList();
    QTest::newRow("archive made afresh") << true << QStringList{QStringLiteral("--fresh")};
}

void ArchiveSyncTest::archiveSyncedBeforeItIsNamed() {
    QFETCH(bool, previous);
    QFETCH(QStringList, options);
    EngineFixture f;
    if (previous)
        QCOMPARE(
            f.add({f.writeSource("previous.txt", "from the previous backup")}, ArchiveComponent::AddDirNames),
            0);
    const ChildRun run = runRecorded(f, options, false);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    const QByteArray archive = fileIdOf(f.archivePath());
    QVERIFY(!archive.isEmpty());
    const QString calls = describe(run.calls);
    // The archive as it now stands got its name last, and was synced before it got any name.
    qsizetype placed = -1;
    for (qsizetype i = 0; i < run.calls.size(); ++i) {
        if (run.calls[i].what != "sync" && run.calls[i].name == "Quoralis.zip")
            placed = i;
    }
    QVERIFY2(placed >= 0, qPrintable(calls));
    QVERIFY2(run.calls[placed].file == archive, qPrintable(calls));
    qsizetype firstName = -1;
    qsizetype firstSync = -1;
    for (qsizetype i = 0; i < run.calls.size(); ++i) {
        if (run.calls[i].file != archive)
            continue;
        if (run.calls[i].what == "sync" && firstSync < 0)
            firstSync = i;
        else if (run.calls[i].what != "sync" && firstName < 0)
            firstName = i;
    }
    QVERIFY2(firstSync >= 0, qPrintable(calls));
    QVERIFY2(firstSync < firstName, qPrintable(calls));
    // The name itself lasts only once the folder that holds it is synced after it.
    const QByteArray folder = fileIdOf(f.archivePath().parent_path());
    bool folderSynced = false;
    for (qsizetype i = placed + 1; i < run.calls.size(); ++i)
        folderSynced = folderSynced || (run.calls[i].what == "sync-folder" && run.calls[i].file == folder);
    QVERIFY2(folderSynced, qPrintable(calls));
}

void ArchiveSyncTest::failedSyncKeepsPreviousArchive_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("update") << QStringList();
    QTest::newRow("archive made afresh") << QStringList{QStringLiteral("--fresh")};
}

void ArchiveSyncTest::failedSyncKeepsPreviousArchive() {
    QFETCH(QStringList, options);
    EngineFixture f;
    QCOMPARE(
        f.add({f.writeSource("previous.txt", "from the previous backup")}, ArchiveComponent::AddDirNames), 0);
    const QByteArray before = EngineFixture::readAll(f.archivePath());
    const ChildRun run = runRecorded(f, options, true);
    QCOMPARE(EngineFixture::readAll(f.archivePath()), before);
    QCOMPARE(namesIn(f.archivePath().parent_path()), std::set<std::string>{"Quoralis.zip"});
    QVERIFY2(run.exitCode == 1, qPrintable(run.output));
    QVERIFY2(run.output.contains(QStringLiteral("result %1 ").arg(ZE_ERR_WRITE)), qPrintable(run.output));
    QVERIFY2(std::any_of(run.calls.begin(), run.calls.end(),
                         [](const Call& call) { return call.what == "sync-failed"; }),
             qPrintable(describe(run.calls)));
}

QTEST_GUILESS_MAIN(ArchiveSyncTest)
#include "tst_archivesync.moc"
