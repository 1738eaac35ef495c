// Archives past the limits of the classic ZIP format: more than 65,535 entries, and entries and
// archives of 4 GiB and more (from sparse files, so they are quick to make). The slow test.
#include "archivecheck.h"
#include "engine/archivecomponent.h"
#include "enginefixture.h"

#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;
using archivecheck::entryNameOf;

namespace {

constexpr std::uint64_t FourGiB = std::uint64_t{1} << 32;

// A sparse file of exactly `size` bytes with a few marks in it, so its CRC is not that of zeros
// alone. A mark is only written inside the file: one past its end would make it longer.
fs::path sparseFile(const EngineFixture& f, const std::string& name, std::uint64_t size) {
    const fs::path file = f.writeSource(name, QByteArray());
    const int fd = ::open(file.c_str(), O_WRONLY);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0)
        return {};
    bool written = true;
    for (std::uint64_t at : {std::uint64_t{0}, FourGiB - 1, FourGiB, size - 1}) {
        if (at < size)
            written = ::pwrite(fd, "Q", 1, static_cast<off_t>(at)) == 1 && written;
    }
    ::close(fd);
    if (!written || fs::file_size(file) != size)
        return {};
    return file;
}

// Runs a reader over the archive; true when it exits with 0. `output` gets what it printed.
bool readerAccepts(const QString& program, const QStringList& arguments, QString& output) {
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(program, arguments);
    if (!reader.waitForFinished(600000)) {
        output = program + QStringLiteral(" did not finish");
        return false;
    }
    output = QString::fromLocal8Bit(reader.readAll());
    return reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0;
}

QByteArray endOfCentralRecord(const fs::path& archive) {
    std::ifstream in(archive, std::ios::binary | std::ios::ate);
    const auto size = static_cast<std::streamoff>(in.tellg());
    in.seekg(size - 22 - 98); // the records, then the comment ("Quoralis 07/12/2026" has 19 bytes)
    QByteArray tail(22 + 98, '\0');
    in.read(tail.data(), tail.size());
    return tail;
}

} // namespace

class Zip64Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void moreThan65535Entries();
    void entryOfFourGiBDeflated();
    void archiveOfFourGiBStored();
    void storedEntriesAroundTheBoundary_data();
    void storedEntriesAroundTheBoundary();
};

void Zip64Test::moreThan65535Entries() {
    EngineFixture f;
    std::vector<fs::path> files;
    const int count = 65535 + 70;
    for (int i = 0; i < count; ++i)
        files.push_back(f.writeSource("many/d" + std::to_string(i / 1000) + "/f" + std::to_string(i),
                                      QByteArray::number(i)));
    QCOMPARE(f.add(files, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    QCOMPARE(listing.entries.size(), std::size_t(count));
    QCOMPARE(listing.entries.back().name, entryNameOf(files.back()));
    const QByteArray tail = endOfCentralRecord(f.archivePath());
    QVERIFY(tail.contains(QByteArray("PK\x06\x06", 4))); // Zip64 end record
    QVERIFY(tail.contains(QByteArray("PK\x06\x07", 4))); // and its locator
    f.verifyArchive(f.archivePath());
    if (QTest::currentTestFailed())
        return;
    // An update reads the Zip64 directory back and keeps every entry.
    const fs::path extra = f.writeSource("one-more.txt", "x");
    files.push_back(extra);
    QCOMPARE(f.add(files, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).entries.size(), std::size_t(count + 1));
}

void Zip64Test::entryOfFourGiBDeflated() {
    EngineFixture f;
    const std::uint64_t size = FourGiB + (64 << 20);
    const fs::path big = sparseFile(f, "sparse.img", size);
    QVERIFY(!big.empty());
    const fs::path after = f.writeSource("after.txt", "after the big one");
    QCOMPARE(f.add({big, after}, ArchiveComponent::AddDirNames), 0);
    QVERIFY(fs::file_size(f.archivePath()) < FourGiB / 64);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    const auto* entry = listing.find(entryNameOf(big));
    QVERIFY(entry);
    QCOMPARE(entry->size, qint64(size));
    QCOMPARE(entry->method, 8);
    f.verifyArchive(f.archivePath());
}

void Zip64Test::archiveOfFourGiBStored() {
    EngineFixture f;
    const std::uint64_t size = FourGiB + (16 << 20);
    const fs::path big = sparseFile(f, "sparse.img", size);
    QVERIFY(!big.empty());
    const fs::path after = f.writeSource("after.txt", "after the big one");
    QCOMPARE(f.add({big, after}, ArchiveComponent::AddDirNames, 0), 0);
    QVERIFY(fs::file_size(f.archivePath()) > size);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    const auto* last = listing.find(entryNameOf(after));
    QVERIFY(last);
    QVERIFY(last->offset > qint64(FourGiB)); // its offset needs the Zip64 field
    f.verifyArchive(f.archivePath());
    if (QTest::currentTestFailed())
        return;
    // Copying a 4 GiB entry unchanged in an update keeps it whole.
    const fs::path added = f.writeSource("added.txt", "added");
    QCOMPARE(f.add({added}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate, 0), 0);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).find(entryNameOf(big))->size, qint64(size));
    QCOMPARE(f.zip().TestArchive(f.archivePath()), 0);
}

void Zip64Test::storedEntriesAroundTheBoundary_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("level");
    QTest::addColumn<std::string>("name");
    QTest::newRow("4 GiB - 1") << qint64(FourGiB - 1) << 0 << std::string("sparse.img");
    QTest::newRow("4 GiB") << qint64(FourGiB) << 0 << std::string("sparse.img");
    QTest::newRow("4 GiB + 1") << qint64(FourGiB + 1) << 0 << std::string("sparse.img");
    // A ".zip" is stored by its suffix while the file after it is deflated.
    QTest::newRow("4 GiB - 1 stored by suffix") << qint64(FourGiB - 1) << 9 << std::string("a_big.zip");
}

void Zip64Test::storedEntriesAroundTheBoundary() {
    // Every reader a user may restore with accepts the archive: a Zip64 field holds exactly the
    // values whose header field says 0xFFFFFFFF, or Info-ZIP rejects the whole archive.
    QFETCH(qint64, size);
    QFETCH(int, level);
    QFETCH(std::string, name);
    EngineFixture f;
    const fs::path big = sparseFile(f, name, static_cast<std::uint64_t>(size));
    QVERIFY(!big.empty());
    const fs::path after = f.writeSource("b_after.txt", "after the big one");
    QCOMPARE(f.add({big, after}, ArchiveComponent::AddDirNames, level), 0);
    const QString archive = QString::fromStdString(f.archivePath().native());
    QString output;
    QVERIFY2(archivecheck::unzipTest(f.archivePath(), &output), qPrintable(output));
    QVERIFY2(archivecheck::pythonTest(f.archivePath(), &output), qPrintable(output));
    QVERIFY2(readerAccepts(QStringLiteral("7z"), {QStringLiteral("t"), archive}, output), qPrintable(output));
    QVERIFY2(readerAccepts(QStringLiteral("java"), {QStringLiteral(ZIPREADCHECK), archive}, output),
             qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("ok 2")), qPrintable(output));
    QVERIFY2(readerAccepts(QStringLiteral("jar"), {QStringLiteral("tf"), archive}, output),
             qPrintable(output));
}
QTEST_GUILESS_MAIN(Zip64Test)
#include "tst_zip64.moc"
