// Whatever goes wrong during a job, the previous archive survives and the failure is reported.
#include "archivecheck.h"
#include "engine/archivecomponent.h"
#include "engine/zipengineerrors.h"
#include "enginefixture.h"
#include "zipengine_api.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QThread>

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using archivecheck::entryNameOf;

namespace {

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().native());
    return names;
}

// An archive from an earlier run, and its exact bytes.
QByteArray makePreviousArchive(EngineFixture& f) {
    const fs::path old = f.writeSource("previous.txt", "from the previous backup");
    if (f.add({old}, ArchiveComponent::AddDirNames) != 0)
        return QByteArray();
    return EngineFixture::readAll(f.archivePath());
}

// Enough work (about 100 MB that deflates slowly) that a job can be stopped half-way.
std::vector<fs::path> bigJob(EngineFixture& f, int files = 24) {
    QByteArray block = EngineFixture::text(4 << 20, 11);
    const QByteArray noise = EngineFixture::noise(1 << 20, 12);
    block.replace(1 << 20, noise.size(), noise);
    std::vector<fs::path> list;
    for (int i = 0; i < files; ++i) {
        block.replace(0, 16, QByteArray::number(i).rightJustified(16, '0'));
        list.push_back(f.writeSource("big/part" + std::to_string(i) + ".dat", block));
    }
    return list;
}

QStringList childArguments(const EngineFixture& f, const std::vector<fs::path>& files,
                           const QStringList& options) {
    QStringList args = {QString::fromStdString(f.engineDir().native()),
                        QString::fromStdString(f.archivePath().native())};
    args += options;
    for (const auto& file : files)
        args.append(QString::fromStdString(file.native()));
    return args;
}

// One byte of an entry's stored data flipped, as rot on the disk would.
void rotEntry(QByteArray& archive, const archivecheck::Entry& entry) {
    const qsizetype header = entry.offset;
    const int nameLength = qFromLittleEndian<quint16>(archive.constData() + header + 26);
    const int extraLength = qFromLittleEndian<quint16>(archive.constData() + header + 28);
    archive[header + 30 + nameLength + extraLength + entry.compressed / 2] ^= 0x10;
}

void writeAll(const fs::path& file, const QByteArray& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());
}

} // namespace

class ArchiveSafetyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void vanishedFileSkippedRestArchived();
    void unreadableFileSkippedRestArchived_data();
    void unreadableFileSkippedRestArchived();
    void cancelKeepsPreviousArchive_data();
    void cancelKeepsPreviousArchive();
    void killedJobKeepsPreviousArchive_data();
    void killedJobKeepsPreviousArchive();
    void killedJobKeepsTheArchiveOrItsCopyAside();
    void fullDiskKeepsPreviousArchive_data();
    void fullDiskKeepsPreviousArchive();
    void freshArchiveHoldsOnlyTheList();
    void secondJobOnOneArchiveWritesNothing();
    void staleTemporaryRemovedAtNextJob();
    void fileChangingThroughoutIsStoredOnce();
    void archiveWrittenByAnotherProgramMeanwhileIsKept();
    void rewriteBetweenReadsIsNeverStoredTorn();
    void busyComponentAnswersAtOnce();
    void eventsArriveOnGuiThread();
    void corruptedEntryFailsTheTest();
    void entryWithAWrongCrcFailsEveryCheck();
    void missingEngineFailsWithText();
    void tooOldEngineFailsWithText();
    void messageFileSuppliesTexts();
};

void ArchiveSafetyTest::vanishedFileSkippedRestArchived() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", "a");
    const fs::path gone = f.writeSource("gone.txt", "g");
    const fs::path goneLarge = f.writeSource("gone-large.txt", EngineFixture::text(9 << 20));
    const fs::path c = f.writeSource("c.txt", "c");
    fs::remove(gone);
    fs::remove(goneLarge);
    QList<QPair<int, QString>> messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        messages.append({code, text});
    });
    QCOMPARE(f.add({a, gone, goneLarge, c}, ArchiveComponent::AddDirNames), 0);
    QCOMPARE(f.zip().SkippedFiles(), (std::vector<fs::path>{gone, goneLarge}));
    QCOMPARE(f.zip().StoredCount(), std::size_t{2});
    const auto named = std::count_if(messages.begin(), messages.end(), [&](const auto& m) {
        return m.first != 0 && m.second.contains(QString::fromStdString(gone.native()));
    });
    QCOMPARE(named, 1);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{2});
    QVERIFY(listing.find(entryNameOf(a)) && listing.find(entryNameOf(c)));
    f.verifyArchive(f.archivePath());
}

void ArchiveSafetyTest::unreadableFileSkippedRestArchived_data() {
    QTest::addColumn<bool>("olderCopiesArchived");
    QTest::newRow("new archive") << false;
    QTest::newRow("the archive holds older copies") << true;
}

void ArchiveSafetyTest::unreadableFileSkippedRestArchived() {
    QFETCH(bool, olderCopiesArchived);
    EngineFixture f;
    const fs::path readable = f.writeSource("readable.txt", EngineFixture::text(10000));
    const fs::path secret = f.writeSource("secret.txt", "old");
    const fs::path secretLarge = f.writeSource("secret-large.txt", "old, small");
    if (olderCopiesArchived)
        QCOMPARE(f.add({secret, secretLarge}, ArchiveComponent::AddDirNames), 0);
    f.writeSource("secret.txt", "private");
    f.writeSource("secret-large.txt", EngineFixture::text(6 << 20));
    fs::permissions(secret, fs::perms::none);
    fs::permissions(secretLarge, fs::perms::none);
    if (::geteuid() != 0) {
        QCOMPARE(f.add({readable, secret, secretLarge}, ArchiveComponent::AddDirNames), 0);
        QCOMPARE(f.zip().SkippedFiles(), (std::vector<fs::path>{secret, secretLarge}));
    } else {
        // root reads everything: run the job in a child process that gives up its privileges.
        for (const fs::path& folder : {f.root(), f.root() / "src", f.engineDir()})
            fs::permissions(folder, fs::perms(0755));
        fs::permissions(f.root() / "out", fs::perms::all);
        QProcess child;
        child.start(QStringLiteral(ZIPJOBCHILD),
                    childArguments(f, {readable, secret, secretLarge}, {"--drop-privileges"}));
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitCode() == 0, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("skipped ") + QString::fromStdString(secret.native())),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("message 20 File skipped: ") +
                              QString::fromStdString(secret.native()) +
                              QStringLiteral(": Permission denied")),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("skipped ") + QString::fromStdString(secretLarge.native())),
                 qPrintable(out));
    }
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.find(entryNameOf(readable)));
    if (olderCopiesArchived) {
        // The entries the unreadable files were to replace stay as they were.
        QCOMPARE(listing.entries.size(), std::size_t{3});
        QCOMPARE(listing.find(entryNameOf(secret))->size, qint64(3));
        QCOMPARE(listing.find(entryNameOf(secretLarge))->size, qint64(10));
    } else {
        QCOMPARE(listing.entries.size(), std::size_t{1});
    }
    f.verifyArchive(f.archivePath());
}

void ArchiveSafetyTest::cancelKeepsPreviousArchive_data() {
    QTest::addColumn<bool>("throughCheckTerminate");
    QTest::addColumn<bool>("fresh");
    QTest::newRow("RequestCancel from a progress handler") << false << false;
    QTest::newRow("abort answered by OnCheckTerminate") << true << false;
    QTest::newRow("archive made afresh") << false << true;
}

void ArchiveSafetyTest::cancelKeepsPreviousArchive() {
    QFETCH(bool, throughCheckTerminate);
    QFETCH(bool, fresh);
    EngineFixture f;
    const QByteArray previous = makePreviousArchive(f);
    QVERIFY(!previous.isEmpty());
    const auto files = bigJob(f, 8);
    bool stop = false;
    connect(&f.zip(), &ArchiveComponent::OnItemProgress, this, [&] {
        stop = true;
        if (!throughCheckTerminate)
            f.zip().RequestCancel();
    });
    connect(&f.zip(), &ArchiveComponent::OnCheckTerminate, this, [&](bool& abort) {
        if (throughCheckTerminate && stop)
            abort = true;
    });
    const int rc = f.add(files, ArchiveComponent::AddDirNames |
                                    (fresh ? ArchiveComponent::AddFresh : ArchiveComponent::AddUpdate));
    QVERIFY(rc != 0);
    QCOMPARE(rc, int(ZE_ERR_CANCELLED));
    QVERIFY2(f.zip().ErrorText().contains(QStringLiteral("cancelled")), qPrintable(f.zip().ErrorText()));
    QCOMPARE(EngineFixture::readAll(f.archivePath()), previous);
    QCOMPARE(namesIn(f.archivePath().parent_path()), std::set<std::string>{"Quoralis.zip"});
}

void ArchiveSafetyTest::killedJobKeepsPreviousArchive_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("update") << QStringList();
    QTest::newRow("archive made afresh") << QStringList{QStringLiteral("--fresh")};
}

void ArchiveSafetyTest::killedJobKeepsPreviousArchive() {
    QFETCH(QStringList, options);
    EngineFixture f;
    const QByteArray previous = makePreviousArchive(f);
    QVERIFY(!previous.isEmpty());
    QProcess child;
    child.start(QStringLiteral(ZIPJOBCHILD), childArguments(f, bigJob(f), options));
    QVERIFY(child.waitForStarted());
    QByteArray seen;
    bool halfWay = false;
    while (!halfWay && child.state() == QProcess::Running && child.waitForReadyRead(60000)) {
        seen += child.readAll();
        for (const QByteArray& line : seen.split('\n')) {
            if (line.startsWith("total ") && line.mid(6).toInt() >= 10 && line.mid(6).toInt() < 90)
                halfWay = true;
        }
        QVERIFY2(!seen.contains("result"), "the job ended before it could be killed");
    }
    QVERIFY2(halfWay, seen.constData());
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(EngineFixture::readAll(f.archivePath()), previous);
    // Nothing of the killed job is left beside the archive, not even a lock file.
    QCOMPARE(namesIn(f.archivePath().parent_path()), std::set<std::string>{"Quoralis.zip"});
    f.verifyArchive(f.archivePath());
    QCOMPARE(f.add({f.writeSource("after.txt", "after")},
                   ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate),
             0);
    QCOMPARE(namesIn(f.archivePath().parent_path()), std::set<std::string>{"Quoralis.zip"});
}

void ArchiveSafetyTest::killedJobKeepsTheArchiveOrItsCopyAside() {
    // The previous archive holds the only copy of a file, and that copy has rotted: the job that
    // leaves it out keeps the previous archive aside first. Killed at any moment, either the
    // archive is still the previous one, or the previous one is whole beside the new one.
    EngineFixture f;
    const fs::path gone = f.writeSource("gone.txt", EngineFixture::text(200000, 5));
    QCOMPARE(f.add({gone}, ArchiveComponent::AddDirNames), 0);
    QVERIFY(fs::remove(gone));
    QByteArray previous = EngineFixture::readAll(f.archivePath());
    const archivecheck::Listing listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.find(entryNameOf(gone)) != nullptr);
    rotEntry(previous, *listing.find(entryNameOf(gone)));
    const std::vector<fs::path> files = bigJob(f, 8);
    const fs::path aside = f.archivePath().native() + ".damaged";
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    constexpr int Rounds = 8;
    for (int round = 0; round < Rounds; ++round) {
        writeAll(f.archivePath(), previous);
        fs::remove(aside);
        // Every other round is killed near the end, where the archive is kept aside and replaced;
        // the last round is not killed: it shows what a whole job leaves.
        const int killAt = round == Rounds - 1 ? 1000 : random.bounded(round % 2 == 0 ? 0 : 90, 101);
        const QByteArray context =
            "seed " + QByteArray::number(seed) + ", round " + QByteArray::number(round);
        QProcess child;
        child.start(QStringLiteral(ZIPJOBCHILD), childArguments(f, files, {}));
        QVERIFY(child.waitForStarted());
        QByteArray seen;
        bool reached = false;
        while (!reached && child.state() == QProcess::Running && child.waitForReadyRead(60000)) {
            seen += child.readAll();
            for (const QByteArray& line : seen.split('\n'))
                reached = reached || (line.startsWith("total ") && line.mid(6).toInt() >= killAt);
        }
        if (reached) {
            QThread::usleep(random.bounded(0, 80000));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        }
        QVERIFY(child.state() == QProcess::NotRunning || child.waitForFinished());
        seen += child.readAll();
        const bool keptAside = fs::exists(aside);
        if (keptAside)
            QVERIFY2(EngineFixture::readAll(aside) == previous, context.constData());
        const bool replaced = EngineFixture::readAll(f.archivePath()) != previous;
        QVERIFY2(!replaced || keptAside, context.constData());
        if (replaced) {
            f.verifyArchive(f.archivePath());
            QVERIFY(archivecheck::pythonListing(f.archivePath()).find(entryNameOf(gone)) == nullptr);
        }
        if (round == Rounds - 1) {
            QVERIFY2(replaced && seen.contains("message 24 ") && seen.contains(".damaged"), seen.constData());
        }
    }
}

void ArchiveSafetyTest::fullDiskKeepsPreviousArchive_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("update") << QStringList();
    QTest::newRow("archive made afresh") << QStringList{QStringLiteral("--fresh")};
}

void ArchiveSafetyTest::fullDiskKeepsPreviousArchive() {
    QFETCH(QStringList, options);
    EngineFixture f;
    const QByteArray previous = makePreviousArchive(f);
    QVERIFY(!previous.isEmpty());
    // The child may not write files beyond 3 MB: its archive cannot be completed.
    QProcess child;
    child.start(QStringLiteral(ZIPJOBCHILD),
                childArguments(f, bigJob(f, 6), QStringList{"--file-size-limit", "3000000"} + options));
    QVERIFY(child.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    QCOMPARE(child.exitCode(), 1);
    QVERIFY2(out.contains(QStringLiteral("result %1 ").arg(ZE_ERR_WRITE)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("File too large")), qPrintable(out));
    QCOMPARE(EngineFixture::readAll(f.archivePath()), previous);
    QCOMPARE(namesIn(f.archivePath().parent_path()), std::set<std::string>{"Quoralis.zip"});
}

void ArchiveSafetyTest::busyComponentAnswersAtOnce() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(100000));
    int nestedAdd = 0;
    int nestedTest = 0;
    bool busyInside = false;
    connect(&f.zip(), &ArchiveComponent::OnItemProgress, this, [&] {
        if (nestedAdd != 0)
            return;
        busyInside = f.zip().IsBusy();
        nestedAdd = f.zip().AddFiles();
        nestedTest = f.zip().TestArchive(f.archivePath());
    });
    QVERIFY(!f.zip().IsBusy());
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    QVERIFY(busyInside);
    QCOMPARE(nestedAdd, -255);
    QCOMPARE(nestedTest, -255);
    QVERIFY(!f.zip().IsBusy());
    QVERIFY(f.zip().FileSpecList == PathList{a}); // the list is the caller's again
    f.verifyArchive(f.archivePath());
}

void ArchiveSafetyTest::eventsArriveOnGuiThread() {
    EngineFixture f;
    const auto files = bigJob(f, 4);
    QThread* const gui = QThread::currentThread();
    bool allOnGui = true;
    int checks = 0;
    QList<int> percents;
    QList<ArchiveComponent::ProgressType> kinds;
    auto onGui = [&] {
        allOnGui = allOnGui && QThread::currentThread() == gui;
    };
    ArchiveComponent& zip = f.zip();
    connect(&zip, &ArchiveComponent::OnProgress, this,
            [&](ArchiveComponent::ProgressType type, const fs::path&, qint64) {
                onGui();
                kinds.append(type);
            });
    connect(&zip, &ArchiveComponent::OnItemProgress, this, [&] { onGui(); });
    connect(&zip, &ArchiveComponent::OnTotalProgress, this, [&](qint64, int percent) {
        onGui();
        percents.append(percent);
    });
    connect(&zip, &ArchiveComponent::OnCheckTerminate, this, [&](bool&) {
        onGui();
        ++checks;
    });
    QCOMPARE(f.add(files, ArchiveComponent::AddDirNames), 0);
    QVERIFY(allOnGui);
    QVERIFY(checks > 0);
    QVERIFY(!percents.isEmpty());
    QCOMPARE(percents.last(), 100);
    QVERIFY(std::is_sorted(percents.begin(), percents.end()));
    QCOMPARE(kinds.first(), ArchiveComponent::ProgressType::TotalFiles2Process);
    QCOMPARE(kinds.last(), ArchiveComponent::ProgressType::EndOfBatch);
}

void ArchiveSafetyTest::corruptedEntryFailsTheTest() {
    EngineFixture f;
    const QByteArray content(20000, 'A');
    const fs::path a = f.writeSource("a.txt", content);
    const fs::path b = f.writeSource("b.txt", "b");
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames, 0), 0);
    f.verifyArchive(f.archivePath());
    QByteArray bytes = EngineFixture::readAll(f.archivePath());
    const qsizetype at = bytes.indexOf(content);
    QVERIFY(at > 0);
    bytes[at + 12345] = 'B';
    std::ofstream(f.archivePath(), std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());

    QList<QPair<int, QString>> messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        messages.append({code, text});
    });
    QCOMPARE(f.zip().TestArchive(f.archivePath()), int(ZE_ERR_TEST_FAILED));
    QVERIFY(!f.zip().ErrorText().isEmpty());
    QVERIFY(std::any_of(messages.begin(), messages.end(), [&](const auto& m) {
        return m.first == ZE_ERR_CRC && m.second.contains(QString::fromLatin1(entryNameOf(a)));
    }));
    QVERIFY(!archivecheck::unzipTest(f.archivePath()));
    QVERIFY(!archivecheck::pythonTest(f.archivePath()));
}

void ArchiveSafetyTest::entryWithAWrongCrcFailsEveryCheck() {
    // The data inflates cleanly to the announced size; only the CRC in both headers is wrong.
    EngineFixture f;
    const QByteArray content = EngineFixture::text(30000, 41);
    const fs::path a = f.writeSource("a.txt", content);
    const fs::path b = f.writeSource("b.txt", "b, first");
    for (const auto& file : {a, b})
        EngineFixture::setMtime(file, 1600000000);
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames), 0);
    const auto sound = archivecheck::pythonListing(f.archivePath());
    const auto* entry = sound.find(entryNameOf(a));
    QVERIFY(entry && entry->method == 8 && entry->size == content.size());
    QVERIFY((entry->flags & 0x08) == 0); // no data descriptor holds a third copy of the CRC
    const quint32 wrongCrc = entry->crc ^ 0x00800001u;

    QByteArray bytes = EngineFixture::readAll(f.archivePath());
    QCOMPARE(bytes.mid(entry->offset, 4), QByteArray("PK\x03\x04"));
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + entry->offset + 14), entry->crc);
    qToLittleEndian(wrongCrc, bytes.data() + entry->offset + 14);
    int centralHeaders = 0;
    for (qsizetype at = bytes.indexOf("PK\x01\x02"); at >= 0; at = bytes.indexOf("PK\x01\x02", at + 1)) {
        if (qFromLittleEndian<quint32>(bytes.constData() + at + 42) != quint32(entry->offset))
            continue;
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + at + 16), entry->crc);
        qToLittleEndian(wrongCrc, bytes.data() + at + 16);
        ++centralHeaders;
    }
    QCOMPARE(centralHeaders, 1);
    std::ofstream(f.archivePath(), std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());
    QString output;
    QVERIFY(!archivecheck::pythonTest(f.archivePath(), &output));
    QVERIFY2(output.contains(QString::fromLatin1(entryNameOf(a))), qPrintable(output));
    QVERIFY(!archivecheck::unzipTest(f.archivePath()));

    QList<QPair<int, QString>> messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        messages.append({code, text});
    });
    const auto named = [&](int code) {
        return std::any_of(messages.begin(), messages.end(), [&](const auto& m) {
            return m.first == code && m.second.contains(QString::fromLatin1(entryNameOf(a)));
        });
    };
    QCOMPARE(f.zip().TestArchive(f.archivePath()), int(ZE_ERR_TEST_FAILED));
    QVERIFY(named(ZE_ERR_CRC));
    messages.clear();
    QVERIFY(f.zip().ExtractArchive(f.archivePath(), f.root() / "extracted") != 0);
    QVERIFY(named(ZE_ERR_CRC));

    // An update does not keep the entry: the file, unchanged since, gives it afresh.
    messages.clear();
    f.writeSource("b.txt", "b, second");
    EngineFixture::setMtime(b, 1600000100);
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QVERIFY(named(ZE_WARN_KEPT_DAMAGED));
    const auto after = archivecheck::pythonListing(f.archivePath());
    QVERIFY(after.find(entryNameOf(a)));
    QCOMPARE(after.find(entryNameOf(a))->crc, entry->crc);
    QVERIFY2(archivecheck::pythonTest(f.archivePath(), &output), qPrintable(output));
    QCOMPARE(f.zip().TestArchive(f.archivePath()), 0);
}

void ArchiveSafetyTest::missingEngineFailsWithText() {
    EngineFixture f;
    QTemporaryDir empty;
    ArchiveComponent zip;
    zip.DLLDirectory = empty.path() + QLatin1Char('/');
    QCOMPARE(zip.LoadZipEngine(), ZipEngineErrors::EngineMissing);
    zip.FileSpecList = {f.writeSource("a.txt", "a")};
    zip.ZipFileName = f.archivePath();
    for (int attempt = 0; attempt < 2; ++attempt) {
        QCOMPARE(zip.AddFiles(), ZipEngineErrors::EngineMissing);
        QVERIFY2(zip.ErrorText().contains(QStringLiteral("could not be loaded")),
                 qPrintable(zip.ErrorText()));
        QVERIFY(zip.ErrorText().contains(empty.path()));
    }
    QVERIFY(!fs::exists(f.archivePath()));
    QVERIFY(!zip.IsBusy());
}

void ArchiveSafetyTest::tooOldEngineFailsWithText() {
    EngineFixture f;
    ArchiveComponent zip;
    zip.DLLDirectory = QStringLiteral(OLDENGINE_DIR);
    QCOMPARE(zip.LoadZipEngine(), ZipEngineErrors::EngineTooOld);
    zip.FileSpecList = {f.writeSource("a.txt", "a")};
    zip.ZipFileName = f.archivePath();
    QCOMPARE(zip.AddFiles(), ZipEngineErrors::EngineTooOld);
    QVERIFY2(zip.ErrorText().contains(QStringLiteral("1.77")) &&
                 zip.ErrorText().contains(QStringLiteral("1.78")),
             qPrintable(zip.ErrorText()));
    QVERIFY(!fs::exists(f.archivePath()));
}

void ArchiveSafetyTest::messageFileSuppliesTexts() {
    EngineFixture f;
    const auto files = bigJob(f, 2);
    connect(&f.zip(), &ArchiveComponent::OnItemProgress, &f.zip(), &ArchiveComponent::RequestCancel);
    std::ofstream(f.engineDir() / "ResDlls.res", std::ios::trunc) << "# test texts\n11\tStopped on request\n";
    QCOMPARE(f.add(files, ArchiveComponent::AddDirNames), int(ZE_ERR_CANCELLED));
    QCOMPARE(f.zip().ErrorText(), QStringLiteral("Stopped on request"));

    fs::remove(f.engineDir() / "ResDlls.res");
    QCOMPARE(f.add(files, ArchiveComponent::AddDirNames), int(ZE_ERR_CANCELLED));
    QCOMPARE(f.zip().ErrorText(), QStringLiteral("Operation cancelled by the user"));
}

void ArchiveSafetyTest::freshArchiveHoldsOnlyTheList() {
    EngineFixture f;
    QVERIFY(!makePreviousArchive(f).isEmpty());
    const fs::path a = f.writeSource("a.txt", "a");
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddFresh), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QVERIFY(listing.find(entryNameOf(a)));
    // Nothing readable: the previous archive stays.
    const QByteArray previous = EngineFixture::readAll(f.archivePath());
    fs::remove(a);
    QVERIFY(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddFresh) != 0);
    QCOMPARE(EngineFixture::readAll(f.archivePath()), previous);
}

void ArchiveSafetyTest::secondJobOnOneArchiveWritesNothing() {
    EngineFixture f;
    const QByteArray previous = makePreviousArchive(f);
    const auto files = bigJob(f, 4);
    const fs::path other = f.writeSource("other.txt", "from the second job");
    ArchiveComponent second;
    second.DLLDirectory = f.zip().DLLDirectory;
    second.ZipFileName = f.archivePath();
    second.FileSpecList = {other};
    second.AddOptions = ArchiveComponent::AddDirNames | ArchiveComponent::AddFresh;
    int secondResult = -1;
    bool started = false;
    QByteArray duringFirst;
    connect(&f.zip(), &ArchiveComponent::OnItemProgress, this, [&] {
        if (started)
            return;
        started = true;
        secondResult = second.AddFiles(); // while the first job holds the archive
        duringFirst = EngineFixture::readAll(f.archivePath());
    });
    QCOMPARE(f.add(files, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(secondResult, int(ZE_ERR_IN_USE));
    QVERIFY2(second.ErrorText().contains(QStringLiteral("in use")), qPrintable(second.ErrorText()));
    QCOMPARE(duringFirst, previous);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), files.size() + 1);
    QVERIFY(!listing.find(entryNameOf(other)));
    QCOMPARE(namesIn(f.archivePath().parent_path()), std::set<std::string>{"Quoralis.zip"});
    // Once the first job is done, the archive is free again.
    QCOMPARE(second.AddFiles(), 0);
}

void ArchiveSafetyTest::staleTemporaryRemovedAtNextJob() {
    // Where unnamed temporaries are not supported (FAT, network shares) a killed job leaves its
    // named one behind; the archive's next job removes it, and only what is its own.
    EngineFixture f;
    const fs::path out = f.archivePath().parent_path();
    for (const char* name : {".Quoralis.zip.tmp-0a1b2c", ".Quoralis.zip.tmp-keep", ".Other.zip.tmp-0a1b2c"})
        std::ofstream(out / name) << "left behind";
    QCOMPARE(f.add({f.writeSource("a.txt", "a")}, ArchiveComponent::AddDirNames), 0);
    QCOMPARE(namesIn(out),
             (std::set<std::string>{"Quoralis.zip", ".Quoralis.zip.tmp-keep", ".Other.zip.tmp-0a1b2c"}));
}

namespace {

// Runs the add engine of the fixture directly, so that the test acts inside the engine's own
// callbacks; the engine waits for each of them to return.
int runAddEngine(const EngineFixture& f, const std::vector<fs::path>& files, const ZeCallbacks& callbacks,
                 std::vector<ZeFileResult>& results) {
    void* library = ::dlopen((f.engineDir() / "libZipDll.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return -1;
    const auto exec = reinterpret_cast<ZeAddExecFunction>(::dlsym(library, "ZipDllExec"));
    const std::string archive = f.archivePath().native();
    std::vector<const char*> names;
    for (const auto& file : files)
        names.push_back(file.c_str());
    results.assign(files.size(), ZeFileResult{});
    ZeAddCommand command{};
    command.structSize = sizeof command;
    command.archivePath = archive.c_str();
    command.options = ZE_ADD_DIR_NAMES;
    command.level = 7;
    command.comment = "";
    command.files = names.data();
    command.fileCount = names.size();
    command.results = results.data();
    const int rc = exec != nullptr ? exec(&command, &callbacks) : -1;
    ::dlclose(library);
    return rc;
}

// Files written to all the time: each of the engine's stop checks adds a line to every one of
// them before the engine goes on, so they change during every read the engine makes.
struct GrowingFiles {
    std::vector<fs::path> files;
    std::mutex mutex;
    int checks = 0;
    QList<QPair<int, QString>> messages;

    static int checkTerminate(void* user) {
        auto* growing = static_cast<GrowingFiles*>(user);
        const std::lock_guard<std::mutex> lock(growing->mutex);
        ++growing->checks;
        for (const auto& file : growing->files)
            std::ofstream(file, std::ios::app | std::ios::binary) << "new mail\n";
        return 0;
    }
    static void message(void* user, int code, const char* text) {
        auto* growing = static_cast<GrowingFiles*>(user);
        const std::lock_guard<std::mutex> lock(growing->mutex);
        growing->messages.append({code, QString::fromLocal8Bit(text)});
    }
};

} // namespace

void ArchiveSafetyTest::fileChangingThroughoutIsStoredOnce() {
    // A log or mailbox that is written all the time is still backed up: one complete read of it,
    // named in the log, and the backup counts as incomplete.
    EngineFixture f;
    const fs::path small = f.writeSource("mail/inbox", EngineFixture::text(200000, 3));
    const fs::path large = f.writeSource("mail/archive.mbox", EngineFixture::text(5 << 20, 4));
    GrowingFiles growing;
    growing.files = {small, large};
    ZeCallbacks callbacks{};
    callbacks.user = &growing;
    callbacks.checkTerminate = &GrowingFiles::checkTerminate;
    callbacks.message = &GrowingFiles::message;
    std::vector<ZeFileResult> results;
    const int rc = runAddEngine(f, {small, large}, callbacks, results);
    QCOMPARE(rc, int(ZE_WARN_SKIPPED));
    QVERIFY(growing.checks > 0);
    QVERIFY(results[0].status != ZE_FILE_SKIPPED);
    QCOMPARE(results[1].status, int(ZE_FILE_CHANGING));
    QVERIFY(std::any_of(growing.messages.begin(), growing.messages.end(), [&](const auto& m) {
        return m.first == ZE_WARN_CHANGING && m.second.contains(QString::fromStdString(large.native()));
    }));
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.find(entryNameOf(small)) && listing.find(entryNameOf(large)));
    QVERIFY(listing.find(entryNameOf(large))->size >= 5 << 20);
    f.verifyArchive(f.archivePath());
    // One complete read: the file as it was at one moment, which later lines only extend.
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    const QByteArray stored = EngineFixture::readAll(out / entryNameOf(large).toStdString());
    QVERIFY(stored.startsWith(EngineFixture::text(5 << 20, 4)));
    QVERIFY(EngineFixture::readAll(large).startsWith(stored));
}

namespace {

// Another program writes the archive while the job runs: at the engine's first stop check the
// archive is replaced by that program's own.
struct ArchiveRewriter {
    fs::path archive;
    QByteArray theirs;
    bool done = false;
    static int checkTerminate(void* user) {
        auto* rewriter = static_cast<ArchiveRewriter*>(user);
        if (!rewriter->done) {
            rewriter->done = true;
            const fs::path temporary = rewriter->archive.parent_path() / "theirs.zip";
            std::ofstream(temporary, std::ios::binary)
                .write(rewriter->theirs.constData(), rewriter->theirs.size());
            fs::rename(temporary, rewriter->archive);
        }
        return 0;
    }
};

} // namespace

void ArchiveSafetyTest::archiveWrittenByAnotherProgramMeanwhileIsKept() {
    // Replacing it now would throw the other program's archive away: the job fails and leaves it.
    EngineFixture f;
    const fs::path first = f.writeSource("a.txt", EngineFixture::text(100000, 1));
    QCOMPARE(f.add({first}, ArchiveComponent::AddDirNames), 0);
    const fs::path other = f.writeSource("b.txt", EngineFixture::text(3 << 20, 2));
    fs::create_directories(f.root() / "elsewhere");
    const fs::path theirsPath = f.root() / "elsewhere" / "theirs.zip";
    fs::copy_file(f.archivePath(), theirsPath);
    ArchiveRewriter rewriter;
    rewriter.archive = f.archivePath();
    rewriter.theirs = EngineFixture::readAll(theirsPath) + QByteArray("their own");
    ZeCallbacks callbacks{};
    callbacks.user = &rewriter;
    callbacks.checkTerminate = &ArchiveRewriter::checkTerminate;
    std::vector<ZeFileResult> results;
    QCOMPARE(runAddEngine(f, {first, other}, callbacks, results), int(ZE_ERR_REPLACE));
    QVERIFY(rewriter.done);
    QCOMPARE(EngineFixture::readAll(f.archivePath()), rewriter.theirs);
}

namespace {

// Runs the add engine directly, so that the test acts inside the engine's own callbacks.
struct DirectJob {
    fs::path file;
    std::uint64_t size = 0;
    QByteArray rewrite;
    bool armed = false;
    int checks = 0;

    static void progress(void* user, int kind, const char* name, int64_t value) {
        auto* job = static_cast<DirectJob*>(user);
        if (kind == ZE_PROGRESS_UPDATE && name != nullptr && job->file == name &&
            static_cast<std::uint64_t>(value) == job->size)
            job->armed = true; // the first read is complete
    }
    static int checkTerminate(void* user) {
        auto* job = static_cast<DirectJob*>(user);
        // The second check of the read that stores the file: a part of it is read already.
        if (job->armed && ++job->checks == 2) {
            std::fstream out(job->file, std::ios::in | std::ios::out | std::ios::binary);
            out.write(job->rewrite.constData(), job->rewrite.size());
        }
        return 0;
    }
};

} // namespace

void ArchiveSafetyTest::rewriteBetweenReadsIsNeverStoredTorn() {
    // Deflate does not shrink this file, so it is read a second time to be stored: a rewrite
    // while that happens must not give an entry made of the old start and the new end.
    EngineFixture f;
    const QByteArray before = EngineFixture::noise(6 << 20, 21);
    DirectJob job;
    job.file = f.writeSource("disk.img", before);
    job.size = static_cast<std::uint64_t>(before.size());
    job.rewrite = EngineFixture::noise(6 << 20, 22);
    ZeCallbacks callbacks{};
    callbacks.user = &job;
    callbacks.progress = &DirectJob::progress;
    callbacks.checkTerminate = &DirectJob::checkTerminate;
    std::vector<ZeFileResult> results;
    const int rc = runAddEngine(f, {job.file}, callbacks, results);
    QVERIFY(job.checks >= 2);
    QVERIFY(rc == ZE_OK || rc == ZE_WARN_SKIPPED);
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    const QByteArray stored = EngineFixture::readAll(out / entryNameOf(job.file).toStdString());
    QVERIFY2(stored == job.rewrite || stored == before, "the entry mixes two versions of the file");
}

QTEST_GUILESS_MAIN(ArchiveSafetyTest)
#include "tst_archivesafety.moc"
