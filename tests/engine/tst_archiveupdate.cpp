// Adding to an existing archive: what is kept, what is replaced, and the archive attribute.
#include "archivecheck.h"
#include "engine/tzipmaster.h"
#include "enginefixture.h"
#include "platform/fileattributes.h"

#include <QCryptographicHash>
#include <QTest>

#include <sys/stat.h>

#include <fstream>

namespace fs = std::filesystem;
using archivecheck::entryNameOf;

namespace {

QByteArray digestOf(const fs::path& file) {
    return QCryptographicHash::hash(EngineFixture::readAll(file), QCryptographicHash::Sha256);
}

struct FileState {
    std::uint64_t size;
    std::int64_t mtimeNs;
};

FileState stateOf(const fs::path& file) {
    struct stat st {};
    ::stat(file.c_str(), &st);
    return {static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool archiveBitSet(const fs::path& file) {
    const FileState s = stateOf(file);
    return platform::FileAttributes::archiveAttributeSet(file, s.size, s.mtimeNs);
}

} // namespace

class ArchiveUpdateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void unchangedEntriesKeptByteForByte();
    void nothingChangedLeavesArchiveUntouched();
    void olderCopyPutBackReplacesEntry();
    void plainAddReplacesListedEntriesOnly();
    void unreadableReplacementKeepsOldEntry();
    void damagedArchiveIsNotReplaced();
    void emptyFileAtArchivePathIsReplaced();
    void resetArchiveClearsOnlyStoredFiles();
    void symlinkedArchiveKeepsTheLink_data();
    void symlinkedArchiveKeepsTheLink();
};

void ArchiveUpdateTest::unchangedEntriesKeptByteForByte() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(30000, 1));
    const fs::path b = f.writeSource("b.txt", EngineFixture::text(30000, 2));
    const fs::path c = f.writeSource("sub/c.bin", EngineFixture::noise(6 << 20, 3));
    for (const auto& file : {a, b, c})
        EngineFixture::setMtime(file, 1600000000);
    QCOMPARE(f.add({a, b, c}, TZipMaster::AddDirNames), 0);
    const auto before = archivecheck::pythonListing(f.archivePath());
    QVERIFY(before.ok);

    const QByteArray changed = EngineFixture::text(40000, 9);
    f.writeSource("b.txt", changed);
    EngineFixture::setMtime(b, 1600000100);
    QCOMPARE(f.add({a, b, c}, TZipMaster::AddDirNames | TZipMaster::AddUpdate), 0);
    QCOMPARE(f.zip().StoredCount(), std::size_t{3});
    const auto after = archivecheck::pythonListing(f.archivePath());
    QVERIFY(after.ok);
    QCOMPARE(after.entries.size(), std::size_t{3});
    for (const auto& kept : {a, c}) {
        const auto* old = before.find(entryNameOf(kept));
        const auto* now = after.find(entryNameOf(kept));
        QVERIFY(old && now);
        QCOMPARE(now->rawDigest, old->rawDigest);
        QCOMPARE(now->crc, old->crc);
        QCOMPARE(now->extra, old->extra);
    }
    const auto* replaced = after.find(entryNameOf(b));
    QVERIFY(replaced);
    QCOMPARE(replaced->size, changed.size());
    QVERIFY(replaced->crc != before.find(entryNameOf(b))->crc);
    f.verifyArchive(f.archivePath());
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    QCOMPARE(EngineFixture::readAll(out / entryNameOf(b).toStdString()), changed);
}

void ArchiveUpdateTest::nothingChangedLeavesArchiveUntouched() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(1000));
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames), 0);
    const QByteArray digest = digestOf(f.archivePath());
    const auto inode = fs::status(f.archivePath()).permissions();
    struct stat before {};
    ::stat(f.archivePath().c_str(), &before);
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames | TZipMaster::AddUpdate), 0);
    struct stat after {};
    ::stat(f.archivePath().c_str(), &after);
    QCOMPARE(after.st_ino, before.st_ino); // not even rewritten
    QCOMPARE(digestOf(f.archivePath()), digest);
    QCOMPARE(fs::status(f.archivePath()).permissions(), inode);

    // A new comment alone is written, with the entries as they were.
    f.zip().ArchiveComment = QStringLiteral("Quoralis 08/12/2026");
    f.zip().FileSpecList = {a};
    QCOMPARE(f.zip().AddFiles(), 0);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).comment, QByteArray("Quoralis 08/12/2026"));
}

void ArchiveUpdateTest::olderCopyPutBackReplacesEntry() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", "version two, the newer one");
    EngineFixture::setMtime(a, 1700000000);
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames), 0);
    // The user puts back an older copy: older time, other content. A backup must hold what is on disk.
    f.writeSource("a.txt", "version one");
    EngineFixture::setMtime(a, 1600000000);
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames | TZipMaster::AddUpdate), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QCOMPARE(listing.entries[0].size, qint64(11));
}

void ArchiveUpdateTest::plainAddReplacesListedEntriesOnly() {
    EngineFixture f;
    const fs::path x = f.writeSource("x.txt", EngineFixture::text(5000, 1));
    const fs::path y = f.writeSource("y.txt", EngineFixture::text(5000, 2));
    QCOMPARE(f.add({x, y}, TZipMaster::AddDirNames), 0);
    const auto before = archivecheck::pythonListing(f.archivePath());
    const fs::path z = f.writeSource("z.txt", "new");
    // Without AddUpdate a listed file is written again even when unchanged; others stay.
    QCOMPARE(f.add({y, z}, TZipMaster::AddDirNames), 0);
    const auto after = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(after.entries.size(), std::size_t{3});
    QCOMPARE(after.find(entryNameOf(x))->rawDigest, before.find(entryNameOf(x))->rawDigest);
    QVERIFY(after.find(entryNameOf(y)));
    QVERIFY(after.find(entryNameOf(z)));
    f.verifyArchive(f.archivePath());
}

void ArchiveUpdateTest::unreadableReplacementKeepsOldEntry() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", "kept");
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames), 0);
    fs::remove(a);
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames), 0);
    QCOMPARE(f.zip().SkippedFiles().size(), std::size_t{1});
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QCOMPARE(listing.entries[0].size, qint64(4));
}

void ArchiveUpdateTest::damagedArchiveIsNotReplaced() {
    EngineFixture f;
    const QByteArray notAnArchive = "these are the user's own notes, not a ZIP archive\n";
    std::ofstream(f.archivePath(), std::ios::binary) << notAnArchive.toStdString();
    const fs::path a = f.writeSource("a.txt", "a");
    QVERIFY(f.add({a}, TZipMaster::AddDirNames | TZipMaster::AddUpdate) != 0);
    QVERIFY2(f.zip().ErrorText().contains(QStringLiteral("damaged")), qPrintable(f.zip().ErrorText()));
    QCOMPARE(EngineFixture::readAll(f.archivePath()), notAnArchive);
}

void ArchiveUpdateTest::emptyFileAtArchivePathIsReplaced() {
    EngineFixture f;
    std::ofstream(f.archivePath(), std::ios::binary);
    const fs::path a = f.writeSource("a.txt", "a");
    QCOMPARE(f.add({a}, TZipMaster::AddDirNames | TZipMaster::AddUpdate), 0);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).entries.size(), std::size_t{1});
}

void ArchiveUpdateTest::resetArchiveClearsOnlyStoredFiles() {
    EngineFixture f;
    const fs::path probe = f.writeSource("probe", "p");
    const FileState p = stateOf(probe);
    if (!platform::FileAttributes::clearArchiveAttribute(probe, p.size, p.mtimeNs))
        QSKIP("this file system keeps no extended attributes");

    const fs::path a = f.writeSource("a.txt", "a");
    const fs::path b = f.writeSource("b.txt", "b");
    const fs::path hidden = f.writeSource(".hidden", "h");
    QVERIFY(archiveBitSet(a) && archiveBitSet(b) && archiveBitSet(hidden));

    QCOMPARE(f.add({a, hidden}, TZipMaster::AddDirNames), 0); // no AddResetArchive
    QVERIFY(archiveBitSet(a));

    QCOMPARE(
        f.add({a, b, hidden}, TZipMaster::AddDirNames | TZipMaster::AddUpdate | TZipMaster::AddResetArchive),
        0);
    QVERIFY(!archiveBitSet(a));     // up to date in the archive
    QVERIFY(!archiveBitSet(b));     // added
    QVERIFY(archiveBitSet(hidden)); // left out

    // A file changed since it was archived counts as changed again.
    f.writeSource("a.txt", "a, edited");
    QVERIFY(archiveBitSet(a));
}

void ArchiveUpdateTest::symlinkedArchiveKeepsTheLink_data() {
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("link to an existing archive") << true;
    QTest::newRow("link to an archive not made yet") << false;
}

void ArchiveUpdateTest::symlinkedArchiveKeepsTheLink() {
    QFETCH(bool, targetExists);
    EngineFixture f;
    const fs::path realFolder = f.root() / "real";
    fs::create_directories(realFolder);
    const fs::path target = realFolder / "target.zip";
    fs::create_symlink("../real/target.zip", f.archivePath());
    const fs::path a = f.writeSource("a.txt", "a");
    const fs::path b = f.writeSource("b.txt", "b");
    if (targetExists)
        QCOMPARE(f.add({a}, TZipMaster::AddDirNames), 0);
    QCOMPARE(f.add({b}, TZipMaster::AddDirNames | TZipMaster::AddUpdate), 0);
    QVERIFY(fs::is_symlink(f.archivePath()));
    QCOMPARE(fs::read_symlink(f.archivePath()), fs::path("../real/target.zip"));
    QVERIFY(fs::is_regular_file(target));
    const auto listing = archivecheck::pythonListing(target);
    QCOMPARE(listing.entries.size(), std::size_t{targetExists ? 2u : 1u});
    QVERIFY(listing.find(entryNameOf(b)));
    // Nothing else was left beside the link or the target.
    QCOMPARE(std::distance(fs::directory_iterator(realFolder), fs::directory_iterator()), 1);
    QCOMPARE(std::distance(fs::directory_iterator(f.archivePath().parent_path()), fs::directory_iterator()),
             1);
}

QTEST_GUILESS_MAIN(ArchiveUpdateTest)
#include "tst_archiveupdate.moc"
