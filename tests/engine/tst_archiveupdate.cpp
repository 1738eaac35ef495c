// Adding to an existing archive: what is kept, what is replaced, and the archive attribute.
#include "archivecheck.h"
#include "engine/archivecomponent.h"
#include "enginefixture.h"
#include "platform/fileattributes.h"

#include "zipengine_api.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QProcess>
#include <QtEndian>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

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

void setMtimeNs(const fs::path& file, std::int64_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                                      {static_cast<time_t>(seconds), nanoseconds}};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

// The content the archive holds for a file, extracted by our own engine.
QByteArray contentOf(EngineFixture& f, const fs::path& file) {
    const fs::path out = f.root() / "extracted";
    fs::remove_all(out);
    if (f.zip().ExtractArchive(f.archivePath(), out) != 0)
        return QByteArray("<extract failed>");
    return EngineFixture::readAll(out / entryNameOf(file).toStdString());
}

struct ForeignEntry {
    QByteArray name;
    int year;
    QByteArray content;
};

// An archive of another tool: each entry with a time of January 1st of its year, in the order
// given, so that a name may stand twice.
bool writeForeignArchive(const fs::path& archive, const QByteArray& comment,
                         const QList<ForeignEntry>& entries) {
    fs::create_directories(archive.parent_path());
    QStringList args = {
        QStringLiteral("-c"),
        QStringLiteral("import sys, zipfile, warnings\n"
                       "warnings.simplefilter('ignore')\n"
                       "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                       "    z.comment = sys.argv[2].encode()\n"
                       "    for i in range(3, len(sys.argv), 3):\n"
                       "        info = zipfile.ZipInfo(sys.argv[i], (int(sys.argv[i + 1]), 1, 1, 0, 0, 0))\n"
                       "        z.writestr(info, sys.argv[i + 2])\n"),
        QString::fromStdString(archive.native()), QString::fromUtf8(comment)};
    for (const ForeignEntry& entry : entries)
        args << QString::fromUtf8(entry.name) << QString::number(entry.year)
             << QString::fromUtf8(entry.content);
    return QProcess::execute(QStringLiteral("/usr/bin/python3"), args) == 0;
}

const platform::ArchiveMark thisArchive{"00000000000000aa", 1};

bool archiveBitSet(const fs::path& file) {
    return platform::FileAttributes::archiveState(file, thisArchive) !=
           platform::FileAttributes::ArchiveState::Unchanged;
}

} // namespace

class ArchiveUpdateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void unchangedEntriesKeptByteForByte();
    void nothingChangedLeavesArchiveUntouched();
    void olderCopyPutBackReplacesEntry();
    void olderCopyOfTheSameSizePutBackReplacesEntry_data();
    void olderCopyOfTheSameSizePutBackReplacesEntry();
    void plainAddReplacesListedEntriesOnly();
    void unreadableReplacementKeepsOldEntry();
    void unreadableArchiveKeptAsideAndWrittenAnew_data();
    void unreadableArchiveKeptAsideAndWrittenAnew();
    void sameSecondRewriteIsSeen();
    void racyFileComparedByContent();
    void fileAndFolderOfOneNameNeverBoth_data();
    void fileAndFolderOfOneNameNeverBoth();
    void twoSpellingsOfOnePathGiveOneEntry();
    void nonUtf8NameIsMatchedAndKept();
    void rottedKeptEntryTakenAgainOrLeftOut();
    void deflatedEntriesNameTheCrcOfTheirStoredBytes();
    void keptEntryWithAnOutdatedCrcFieldIsInflatedAndGetsItRenewed_data();
    void keptEntryWithAnOutdatedCrcFieldIsInflatedAndGetsItRenewed();
    void emptyFileAtArchivePathIsReplaced();
    void resetArchiveClearsOnlyStoredFiles();
    void symlinkedArchiveKeepsTheLink_data();
    void symlinkedArchiveKeepsTheLink();
    void linkToADocumentIsNeverReplaced_data();
    void linkToADocumentIsNeverReplaced();
    void onlyAFileIsTakenForTheArchive_data();
    void onlyAFileIsTakenForTheArchive();
    void nameHeldTwiceKeepsTheCurrentEntryOnly();
    void nameHeldTwiceIsWrittenOnceWithNothingToAdd();
    void otherSizeUnderTheSameTimeReplacesEntry();
    void timesPast2262AreKept();
};

void ArchiveUpdateTest::unchangedEntriesKeptByteForByte() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(30000, 1));
    const fs::path b = f.writeSource("b.txt", EngineFixture::text(30000, 2));
    const fs::path c = f.writeSource("sub/c.bin", EngineFixture::noise(6 << 20, 3));
    for (const auto& file : {a, b, c})
        EngineFixture::setMtime(file, 1600000000);
    QCOMPARE(f.add({a, b, c}, ArchiveComponent::AddDirNames), 0);
    const auto before = archivecheck::pythonListing(f.archivePath());
    QVERIFY(before.ok);

    const QByteArray changed = EngineFixture::text(40000, 9);
    f.writeSource("b.txt", changed);
    EngineFixture::setMtime(b, 1600000100);
    QCOMPARE(f.add({a, b, c}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
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
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    const QByteArray digest = digestOf(f.archivePath());
    const auto inode = fs::status(f.archivePath()).permissions();
    struct stat before {};
    ::stat(f.archivePath().c_str(), &before);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
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
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    // The user puts back an older copy: older time, other content. A backup must hold what is on disk.
    f.writeSource("a.txt", "version one");
    EngineFixture::setMtime(a, 1600000000);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QCOMPARE(listing.entries[0].size, qint64(11));
}

void ArchiveUpdateTest::olderCopyOfTheSameSizePutBackReplacesEntry_data() {
    QTest::addColumn<bool>("ownArchive");
    QTest::newRow("entry time to 100 ns") << true;
    QTest::newRow("entry of another tool, DOS time only") << false;
}

void ArchiveUpdateTest::olderCopyOfTheSameSizePutBackReplacesEntry() {
    // Only the time tells the copy put back from the entry: it is older, not equal, so it is taken.
    QFETCH(bool, ownArchive);
    EngineFixture f;
    const QByteArray newer = "version two, the newer one";
    const QByteArray older = "version one, the older one";
    QCOMPARE(older.size(), newer.size());
    const fs::path a = f.writeSource("a.txt", newer);
    if (ownArchive) {
        EngineFixture::setMtime(a, 1700000000);
        QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    } else {
        fs::create_directories(f.archivePath().parent_path());
        // Late on a day, so that the copy's DOS date and time are both earlier in any time zone.
        const QStringList args = {
            QStringLiteral("-c"),
            QStringLiteral(
                "import sys, zipfile\n"
                "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                "    z.writestr(zipfile.ZipInfo(sys.argv[2], (2020, 6, 15, 23, 58, 0)), sys.argv[3])\n"),
            QString::fromStdString(f.archivePath().native()), QString::fromUtf8(entryNameOf(a)),
            QString::fromUtf8(newer)};
        QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"), args), 0);
    }
    f.writeSource("a.txt", older);
    EngineFixture::setMtime(a, 978307200); // 2001-01-01 00:00 UTC
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).entries.size(), std::size_t{1});
    QCOMPARE(contentOf(f, a), older);
    // Taken once, the copy is up to date: the next update keeps its entry as it is.
    const QByteArray archived = EngineFixture::readAll(f.archivePath());
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(EngineFixture::readAll(f.archivePath()), archived);
}

void ArchiveUpdateTest::otherSizeUnderTheSameTimeReplacesEntry() {
    // A tool that keeps a file's time (a restore, a copy with its times) puts other content of
    // another size there: the size alone tells, and the entry is taken again.
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", "the first content");
    setMtimeNs(a, 1700000000, 123456700);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    f.writeSource("a.txt", "other content, longer than the first");
    setMtimeNs(a, 1700000000, 123456700);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(contentOf(f, a), QByteArray("other content, longer than the first"));
}

void ArchiveUpdateTest::plainAddReplacesListedEntriesOnly() {
    EngineFixture f;
    const fs::path x = f.writeSource("x.txt", EngineFixture::text(5000, 1));
    const fs::path y = f.writeSource("y.txt", EngineFixture::text(5000, 2));
    QCOMPARE(f.add({x, y}, ArchiveComponent::AddDirNames), 0);
    const auto before = archivecheck::pythonListing(f.archivePath());
    const fs::path z = f.writeSource("z.txt", "new");
    // Without AddUpdate a listed file is written again even when unchanged; others stay.
    QCOMPARE(f.add({y, z}, ArchiveComponent::AddDirNames), 0);
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
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    fs::remove(a);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    QCOMPARE(f.zip().SkippedFiles().size(), std::size_t{1});
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QCOMPARE(listing.entries[0].size, qint64(4));
}

void ArchiveUpdateTest::unreadableArchiveKeptAsideAndWrittenAnew_data() {
    QTest::addColumn<bool>("truncated");
    QTest::newRow("not a ZIP archive") << false;
    QTest::newRow("archive cut short") << true;
}

void ArchiveUpdateTest::unreadableArchiveKeptAsideAndWrittenAnew() {
    QFETCH(bool, truncated);
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(50000, 4));
    QByteArray damaged = "these are the user's own notes, not a ZIP archive\n";
    if (truncated) {
        QCOMPARE(f.add({a, f.writeSource("b.txt", "b")}, ArchiveComponent::AddDirNames), 0);
        damaged = EngineFixture::readAll(f.archivePath());
        damaged.chop(30); // the end records are gone
    }
    std::ofstream(f.archivePath(), std::ios::binary | std::ios::trunc) << damaged.toStdString();
    QStringList messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        if (code != 0)
            messages.append(text);
    });
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    // The damaged file keeps its bytes under a new name beside the archive, and says so.
    const fs::path aside = f.archivePath().native() + ".damaged";
    QCOMPARE(EngineFixture::readAll(aside), damaged);
    QVERIFY2(messages.join(QLatin1Char('\n')).contains(QString::fromStdString(aside.native())),
             qPrintable(messages.join(QLatin1Char('\n'))));
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QVERIFY(listing.find(entryNameOf(a)));
    f.verifyArchive(f.archivePath());

    // A second damaged archive does not take the first one's place.
    std::ofstream(f.archivePath(), std::ios::binary | std::ios::trunc) << "again not an archive";
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(EngineFixture::readAll(aside), damaged);
    QCOMPARE(EngineFixture::readAll(aside.native() + "-2"), QByteArray("again not an archive"));
}

void ArchiveUpdateTest::sameSecondRewriteIsSeen() {
    // Same size, same second, other content: only the time below the second tells them apart.
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", "first version");
    setMtimeNs(a, 1600000000, 100000000);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    f.writeSource("a.txt", "later version");
    setMtimeNs(a, 1600000000, 700000000);
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(f.zip().StoredCount(), std::size_t{1});
    QCOMPARE(contentOf(f, a), QByteArray("later version"));
    // The time is stored at 100-ns precision where other tools read it (the NTFS extra field).
    const archivecheck::Listing listing = archivecheck::pythonListing(f.archivePath());
    const auto* entry = listing.find(entryNameOf(a));
    QVERIFY(entry && entry->extra.contains(QByteArray::fromHex("0a002000")));
}

void ArchiveUpdateTest::racyFileComparedByContent() {
    // A file whose time is not safely older than its read may have changed within the same tick:
    // its content decides, also when size and time are equal to the entry's.
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", "first version");
    const fs::path b = f.writeSource("b.txt", "stays the same");
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    setMtimeNs(a, now.tv_sec, now.tv_nsec);
    setMtimeNs(b, now.tv_sec, now.tv_nsec);
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames), 0);
    const QByteArray before = EngineFixture::readAll(f.archivePath());
    f.writeSource("a.txt", "later version");
    setMtimeNs(a, now.tv_sec, now.tv_nsec); // the same time as when it was archived
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(contentOf(f, a), QByteArray("later version"));
    QCOMPARE(contentOf(f, b), QByteArray("stays the same"));
    QVERIFY(EngineFixture::readAll(f.archivePath()) != before);
}

void ArchiveUpdateTest::fileAndFolderOfOneNameNeverBoth_data() {
    QTest::addColumn<bool>("fileBecomesFolder");
    QTest::newRow("file replaced by a folder") << true;
    QTest::newRow("folder replaced by a file") << false;
}

void ArchiveUpdateTest::fileAndFolderOfOneNameNeverBoth() {
    QFETCH(bool, fileBecomesFolder);
    EngineFixture f;
    const fs::path other = f.writeSource("other.txt", "other");
    const fs::path report = f.root() / "src" / "report";
    const fs::path inside = report / "q1.txt";
    if (fileBecomesFolder)
        f.writeSource("report", "a file");
    else
        f.writeSource("report/q1.txt", "a file in a folder");
    QCOMPARE(f.add({other, fileBecomesFolder ? report : inside}, ArchiveComponent::AddDirNames), 0);
    fs::remove_all(report);
    if (fileBecomesFolder)
        f.writeSource("report/q1.txt", "now a folder");
    else
        f.writeSource("report", "now a file");
    QCOMPARE(f.add({other, fileBecomesFolder ? inside : report},
                   ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate),
             0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{2});
    QVERIFY(listing.find(entryNameOf(other)));
    QVERIFY(listing.find(entryNameOf(fileBecomesFolder ? inside : report)));
    f.verifyArchive(f.archivePath());
}

void ArchiveUpdateTest::twoSpellingsOfOnePathGiveOneEntry() {
    EngineFixture f;
    const fs::path a = f.writeSource("docs/a.txt", "a");
    const std::string root = (f.root() / "src").native();
    const std::vector<fs::path> spellings = {a, fs::path(root + "/./docs/a.txt"),
                                             fs::path("/" + root + "//docs/a.txt"),
                                             fs::path(root + "/docs/../docs/a.txt")};
    for (int run = 0; run < 2; ++run) {
        QCOMPARE(
            f.add(spellings, ArchiveComponent::AddDirNames | (run > 0 ? ArchiveComponent::AddUpdate : 0)), 0);
        const auto listing = archivecheck::pythonListing(f.archivePath());
        QCOMPARE(listing.entries.size(), std::size_t{1});
    }
}

void ArchiveUpdateTest::nonUtf8NameIsMatchedAndKept() {
    // The entry of a name that is not UTF-8 is stored under another name: an update still finds it.
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(1000, 1));
    const fs::path bad = f.writeSource("bad\xffname.txt", EngineFixture::text(2000, 2));
    EngineFixture::setMtime(a, 1600000000);
    EngineFixture::setMtime(bad, 1600000000);
    QCOMPARE(f.add({a, bad}, ArchiveComponent::AddDirNames), 0);
    const QByteArray digest = digestOf(f.archivePath());
    const auto before = archivecheck::pythonListing(f.archivePath());
    QVERIFY(before.ok);
    const QByteArray shown = entryNameOf(bad).replace("\xff", "\xc3\xbf");
    QVERIFY(before.find(shown));

    QCOMPARE(f.add({a, bad}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(digestOf(f.archivePath()), digest);

    // Carried forward beside a changed file, the entry keeps its stored name and its bytes.
    f.writeSource("a.txt", EngineFixture::text(1500, 3));
    EngineFixture::setMtime(a, 1600000100);
    QCOMPARE(f.add({a, bad}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    const auto after = archivecheck::pythonListing(f.archivePath());
    QVERIFY(after.ok);
    QCOMPARE(after.entries.size(), std::size_t{2});
    const auto* old = before.find(shown);
    const auto* now = after.find(shown);
    QVERIFY(now);
    QCOMPARE(now->rawDigest, old->rawDigest);
    QCOMPARE(now->extra, old->extra);
    f.verifyArchive(f.archivePath());
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    QCOMPARE(EngineFixture::readAll(out / entryNameOf(bad).toStdString()), EngineFixture::text(2000, 2));
}

void ArchiveUpdateTest::rottedKeptEntryTakenAgainOrLeftOut() {
    EngineFixture f;
    const QByteArray keptText = EngineFixture::text(40000, 5);
    const QByteArray goneText = EngineFixture::text(40000, 6);
    const QByteArray bigText = EngineFixture::text(40 << 20, 8); // checked in steps, not in one
    const fs::path kept = f.writeSource("kept.txt", keptText);
    const fs::path gone = f.writeSource("gone.txt", goneText);
    const fs::path big = f.writeSource("big.txt", bigText);
    const fs::path changed = f.writeSource("changed.txt", "one");
    for (const auto& file : {kept, gone, big, changed})
        EngineFixture::setMtime(file, 1600000000);
    QCOMPARE(f.add({kept, gone, big, changed}, ArchiveComponent::AddDirNames), 0);
    // Flip one stored byte inside each of three entries.
    QByteArray bytes = EngineFixture::readAll(f.archivePath());
    const auto listing = archivecheck::pythonListing(f.archivePath());
    for (const auto& file : {kept, gone, big}) {
        const auto* entry = listing.find(entryNameOf(file));
        QVERIFY(entry);
        const qsizetype at = entry->offset + 30 + entryNameOf(file).size() + 100 + entry->compressed / 2;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    }
    std::ofstream(f.archivePath(), std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());
    fs::remove(gone);
    f.writeSource("changed.txt", "two");

    QStringList messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        if (code != 0)
            messages.append(text);
    });
    QCOMPARE(f.add({kept, big, changed}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    const auto after = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(after.entries.size(), std::size_t{3});
    QVERIFY(!after.find(entryNameOf(gone)));
    QCOMPARE(contentOf(f, kept), keptText);
    QCOMPARE(contentOf(f, big), bigText);
    const QString log = messages.join(QLatin1Char('\n'));
    QVERIFY2(log.contains(QString::fromLatin1(entryNameOf(gone))), qPrintable(log));
    QVERIFY2(log.contains(QString::fromLatin1(entryNameOf(kept))), qPrintable(log));
    f.verifyArchive(f.archivePath());
}

void ArchiveUpdateTest::deflatedEntriesNameTheCrcOfTheirStoredBytes() {
    EngineFixture f;
    const fs::path small = f.writeSource("small.txt", EngineFixture::text(30000, 31));
    const fs::path large = f.writeSource("large.txt", EngineFixture::text(9 << 20, 32)); // in pieces
    const fs::path noise = f.writeSource("noise.bin", EngineFixture::noise(100000, 33)); // stored
    QCOMPARE(f.add({small, large, noise}, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.ok);
    const QByteArray tag("\x43\x51\x08\x00", 4);
    for (const auto& file : {small, large}) {
        const auto* entry = listing.find(entryNameOf(file));
        QVERIFY(entry && entry->method == 8);
        const qsizetype at = entry->extra.indexOf(tag);
        QVERIFY2(at >= 0, entry->extra.toHex().constData());
        QCOMPARE(qFromLittleEndian<quint32>(entry->extra.constData() + at + 4), entry->rawCrc);
        QCOMPARE(qFromLittleEndian<quint32>(entry->extra.constData() + at + 8), entry->crc);
    }
    const auto* stored = listing.find(entryNameOf(noise));
    QVERIFY(stored && stored->method == 0 && !stored->extra.contains(tag));
}

void ArchiveUpdateTest::keptEntryWithAnOutdatedCrcFieldIsInflatedAndGetsItRenewed_data() {
    QTest::addColumn<int>("flipAt"); // inside the field's 12 bytes
    QTest::newRow("CRC of the stored bytes") << 4;
    QTest::newRow("CRC of the entry") << 8;
}

void ArchiveUpdateTest::keptEntryWithAnOutdatedCrcFieldIsInflatedAndGetsItRenewed() {
    QFETCH(int, flipAt);
    EngineFixture f;
    const QByteArray keptText = EngineFixture::text(50000, 21);
    const fs::path kept = f.writeSource("kept.txt", keptText);
    const fs::path other = f.writeSource("other.txt", EngineFixture::text(1000, 22));
    for (const auto& file : {kept, other})
        EngineFixture::setMtime(file, 1600000000);
    QCOMPARE(f.add({kept, other}, ArchiveComponent::AddDirNames), 0);
    const auto before = archivecheck::pythonListing(f.archivePath());
    const auto* entry = before.find(entryNameOf(kept));
    QVERIFY(entry && entry->method == 8);
    // The deflated entry carries the CRC of its stored bytes beside its own CRC.
    const qsizetype at = entry->extra.indexOf(QByteArray("\x43\x51\x08\x00", 4));
    QVERIFY2(at >= 0, entry->extra.toHex().constData());
    const QByteArray field = entry->extra.mid(at, 12);
    QCOMPARE(qFromLittleEndian<quint32>(field.constData() + 8), entry->crc);

    QByteArray bytes = EngineFixture::readAll(f.archivePath());
    const qsizetype pos = bytes.indexOf(field);
    QVERIFY(pos >= 0 && bytes.indexOf(field, pos + 1) < 0);
    bytes[pos + flipAt] = static_cast<char>(bytes[pos + flipAt] ^ 0x01);
    std::ofstream(f.archivePath(), std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());

    QStringList messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        if (code != 0)
            messages.append(text);
    });
    f.writeSource("other.txt", EngineFixture::text(1200, 23));
    EngineFixture::setMtime(other, 1600000100);
    QCOMPARE(f.add({kept, other}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
    const auto after = archivecheck::pythonListing(f.archivePath());
    const auto* now = after.find(entryNameOf(kept));
    QVERIFY(now);
    QCOMPARE(now->rawDigest, entry->rawDigest);
    QCOMPARE(now->extra, entry->extra); // the field is right again
    QVERIFY(after.find(entryNameOf(other))->extra.contains(QByteArray("\x43\x51\x08\x00", 4)));
    f.verifyArchive(f.archivePath());
}

void ArchiveUpdateTest::emptyFileAtArchivePathIsReplaced() {
    EngineFixture f;
    std::ofstream(f.archivePath(), std::ios::binary);
    const fs::path a = f.writeSource("a.txt", "a");
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).entries.size(), std::size_t{1});
}

void ArchiveUpdateTest::resetArchiveClearsOnlyStoredFiles() {
    EngineFixture f;
    const fs::path probe = f.writeSource("probe", "p");
    const FileState p = stateOf(probe);
    if (!platform::FileAttributes::clearArchiveAttribute(
            probe, p.size, p.mtimeNs, platform::FileAttributes::nowNs() + 1000000000, thisArchive))
        QSKIP("this file system keeps no extended attributes");
    f.zip().Mark = thisArchive;

    const fs::path a = f.writeSource("a.txt", "a");
    const fs::path b = f.writeSource("b.txt", "b");
    const fs::path hidden = f.writeSource(".hidden", "h");
    QVERIFY(archiveBitSet(a) && archiveBitSet(b) && archiveBitSet(hidden));
    QThread::msleep(50); // files touched just before the archiver reads them are never marked

    QCOMPARE(f.add({a, hidden}, ArchiveComponent::AddDirNames), 0); // no AddResetArchive
    QVERIFY(archiveBitSet(a));

    QCOMPARE(f.add({a, b, hidden}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate |
                                       ArchiveComponent::AddResetArchive),
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
        QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    QCOMPARE(f.add({b}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
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

void ArchiveUpdateTest::linkToADocumentIsNeverReplaced_data() {
    QTest::addColumn<int>("options");
    QTest::newRow("update") << int(ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate);
    QTest::newRow("replace") << int(ArchiveComponent::AddDirNames | ArchiveComponent::AddFresh);
}

void ArchiveUpdateTest::linkToADocumentIsNeverReplaced() {
    QFETCH(int, options);
    EngineFixture f;
    const fs::path document = f.root() / "notes.txt";
    const QByteArray notes = "PK is how my notes begin, but they are no archive";
    std::ofstream(document) << notes.constData();
    fs::create_directories(f.archivePath().parent_path());
    fs::create_symlink(document, f.archivePath());
    QCOMPARE(f.add({f.writeSource("a.txt", "a")}, options), int(ZE_ERR_NOT_ARCHIVE_FILE));
    QCOMPARE(EngineFixture::readAll(document), notes);
    QVERIFY(fs::is_symlink(f.archivePath()));
    QVERIFY(!fs::exists(f.root() / "notes.txt.damaged"));
    QVERIFY(f.zip().ErrorText().contains(QStringLiteral("no ZIP archive")));
}

void ArchiveUpdateTest::onlyAFileIsTakenForTheArchive_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << QStringLiteral("pipe");
    QTest::newRow("folder") << QStringLiteral("folder");
}

void ArchiveUpdateTest::onlyAFileIsTakenForTheArchive() {
    QFETCH(QString, kind);
    EngineFixture f;
    fs::create_directories(f.archivePath().parent_path());
    if (kind == QStringLiteral("pipe"))
        QCOMPARE(::mkfifo(f.archivePath().c_str(), 0600), 0);
    else
        fs::create_directory(f.archivePath());
    // A pipe would never end a read: the job is refused before it opens anything.
    QCOMPARE(
        f.add({f.writeSource("a.txt", "a")}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate),
        int(ZE_ERR_NOT_ARCHIVE_FILE));
    QCOMPARE(std::distance(fs::directory_iterator(f.archivePath().parent_path()), fs::directory_iterator()),
             1);
}

void ArchiveUpdateTest::nameHeldTwiceIsWrittenOnceWithNothingToAdd() {
    // Nothing listed changed and the comment is the same, but another tool wrote one name twice:
    // the archive is written anew with that name once, the current entry's, rather than kept as it is.
    EngineFixture f;
    const fs::path listed = f.writeSource("listed.txt", "unchanged");
    const fs::path kept = f.root() / "src" / "kept.txt";
    EngineFixture::setMtime(listed,
                            QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch());
    QVERIFY(writeForeignArchive(f.archivePath(), "Quoralis 07/12/2026",
                                {{entryNameOf(listed), 2020, "unchanged"},
                                 {entryNameOf(kept), 2020, "current"},
                                 {entryNameOf(kept), 2001, "outdated"}}));
    QCOMPARE(f.add({listed}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    QCOMPARE(listing.entries.size(), std::size_t{2});
    QCOMPARE(contentOf(f, kept), QByteArray("current"));
    QCOMPARE(contentOf(f, listed), QByteArray("unchanged"));
}

void ArchiveUpdateTest::nameHeldTwiceKeepsTheCurrentEntryOnly() {
    EngineFixture f;
    const fs::path listed = f.writeSource("listed.txt", "the file now");
    const fs::path kept = f.root() / "src" / "kept.txt"; // gone since, its entries stay
    // Another tool wrote each name twice; the newer "kept" entry comes first.
    QVERIFY(writeForeignArchive(f.archivePath(), "",
                                {{entryNameOf(listed), 2020, "stale"},
                                 {entryNameOf(listed), 2001, "staler"},
                                 {entryNameOf(kept), 2020, "current"},
                                 {entryNameOf(kept), 2001, "outdated"}}));
    QCOMPARE(f.add({listed}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.ok);
    QCOMPARE(listing.entries.size(), std::size_t{2});
    QCOMPARE(contentOf(f, listed), QByteArray("the file now"));
    QCOMPARE(contentOf(f, kept), QByteArray("current"));
    // Each name is held once now: a run with nothing to add leaves the archive as it is.
    const fs::path other = f.root() / "other.zip";
    fs::copy_file(f.archivePath(), other);
    QCOMPARE(f.add({listed}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(EngineFixture::readAll(f.archivePath()), EngineFixture::readAll(other));
    f.verifyArchive(f.archivePath());
}

void ArchiveUpdateTest::timesPast2262AreKept() {
    EngineFixture f;
    const fs::path future = f.writeSource("future.txt", "from the future");
    struct tm when {};
    when.tm_year = 2400 - 1900;
    when.tm_mon = 5;
    when.tm_mday = 15;
    when.tm_hour = 12;
    const time_t seconds = ::timegm(&when);
    setMtimeNs(future, seconds, 123456700);
    QCOMPARE(f.add({future}, ArchiveComponent::AddDirNames), 0);
    // Our extractor puts back the very time, to the 100 ns.
    QCOMPARE(contentOf(f, future), QByteArray("from the future"));
    struct stat extracted {};
    QCOMPARE(::stat((f.root() / "extracted" / entryNameOf(future).toStdString()).c_str(), &extracted), 0);
    QCOMPARE(std::int64_t(extracted.st_mtim.tv_sec), std::int64_t(seconds));
    QCOMPARE(extracted.st_mtim.tv_nsec, 123456700L);
    // The 100 ns field holds it exactly; 7-Zip reads it from there.
    QProcess sevenZip;
    sevenZip.setProcessEnvironment([] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        return env;
    }());
    sevenZip.start(QStringLiteral("7z"), {QStringLiteral("l"), QStringLiteral("-slt"),
                                          QString::fromStdString(f.archivePath().native())});
    QVERIFY(sevenZip.waitForFinished(60000));
    const QByteArray listing = sevenZip.readAllStandardOutput();
    QVERIFY2(listing.contains("Modified = 2400-06-15 12:00:00"), listing.constData());
    // An update does not see it as changed.
    QCOMPARE(f.add({future}, ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate), 0);
    QCOMPARE(f.zip().StoredCount(), std::size_t{1});
    QCOMPARE(f.zip().WrittenCount(), std::size_t{0});
    f.verifyArchive(f.archivePath());
}

QTEST_GUILESS_MAIN(ArchiveUpdateTest)
#include "tst_archiveupdate.moc"
