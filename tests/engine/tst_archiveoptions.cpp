// What the component's options do to the archive, read back by independent readers.
#include "archivecheck.h"
#include "engine/archivecomponent.h"
#include "enginefixture.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

#include <ctime>

namespace fs = std::filesystem;
using archivecheck::entryNameOf;

class ArchiveOptionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedSuffixes_data();
    void storedSuffixes();
    void levelZeroStoresEverything();
    void incompressibleFileIsStored();
    void largeFilesAreDeflatedInPieces_data();
    void largeFilesAreDeflatedInPieces();
    void folderNamesKeptOrDropped();
    void hiddenFilesNeedTheOption();
    void commentInEndRecord();
    void modificationTimeStored();
    void everyNameIsStoredAsUtf8();
    void nonUtf8NameComesBackAsTheSameBytes();
    void emptyListAndNoArchiveNameFail();
};

void ArchiveOptionsTest::storedSuffixes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("method");
    QTest::newRow("gz") << "log.gz" << 0;
    QTest::newRow("upper case JAR") << "lib.JAR" << 0;
    QTest::newRow("mixed Png") << "picture.Png" << 0;
    QTest::newRow("z") << "old.z" << 0;
    QTest::newRow("tar.gz takes the last suffix") << "src.tar.gz" << 0;
    QTest::newRow("text") << "notes.txt" << 8;
    QTest::newRow("suffix only inside the name") << "zip.notes" << 8;
    QTest::newRow("no suffix") << "README" << 8;
    QTest::newRow("gzx is not gz") << "data.gzx" << 8;
}

void ArchiveOptionsTest::storedSuffixes() {
    QFETCH(QString, name);
    QFETCH(int, method);
    EngineFixture f;
    const fs::path file = f.writeSource(name.toStdString(), EngineFixture::text(20000));
    QCOMPARE(f.add({file}, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QCOMPARE(listing.entries[0].method, method);
    QCOMPARE(listing.entries[0].size, 20000);
    f.verifyArchive(f.archivePath());
}

void ArchiveOptionsTest::levelZeroStoresEverything() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(50000, 1));
    const fs::path b = f.writeSource("big/b.txt", EngineFixture::text(9 << 20, 2)); // several pieces
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames, 0), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.ok);
    QCOMPARE(listing.entries.size(), std::size_t{2});
    for (const auto& e : listing.entries) {
        QCOMPARE(e.method, 0);
        QCOMPARE(e.compressed, e.size);
    }
    f.verifyArchive(f.archivePath());
}

void ArchiveOptionsTest::incompressibleFileIsStored() {
    EngineFixture f;
    const fs::path small = f.writeSource("small.bin", EngineFixture::noise(100000, 3));
    const fs::path large = f.writeSource("large.bin", EngineFixture::noise(11 << 20, 4));
    QCOMPARE(f.add({small, large}, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.ok);
    for (const auto& e : listing.entries) {
        QCOMPARE(e.method, 0); // deflate would only have made them bigger
        QCOMPARE(e.compressed, e.size);
    }
    f.verifyArchive(f.archivePath());
}

void ArchiveOptionsTest::largeFilesAreDeflatedInPieces_data() {
    QTest::addColumn<qint64>("size");
    // Pieces are 2 MiB.
    QTest::newRow("one byte over a piece") << qint64((2 << 20) + 1);
    QTest::newRow("exactly three pieces") << qint64(6 << 20);
    QTest::newRow("odd size") << qint64(9 * 1000 * 1000 + 7);
}

void ArchiveOptionsTest::largeFilesAreDeflatedInPieces() {
    QFETCH(qint64, size);
    EngineFixture f;
    // Text with stretches of noise, so the pieces hold stored, fixed and dynamic blocks.
    QByteArray content = EngineFixture::text(static_cast<std::size_t>(size), 7);
    const QByteArray noise = EngineFixture::noise(300000, 8);
    for (qint64 at = 1 << 20; at + noise.size() < size; at += 5 << 20)
        content.replace(at, noise.size(), noise);
    const fs::path file = f.writeSource("large.txt", content);
    QCOMPARE(f.add({file}, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.ok);
    QCOMPARE(listing.entries[0].method, 8);
    QVERIFY(listing.entries[0].compressed < size / 2);
    f.verifyArchive(f.archivePath());
    if (QTest::currentTestFailed())
        return;
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    QVERIFY(EngineFixture::readAll(out / entryNameOf(file).toStdString()) == content);
}

void ArchiveOptionsTest::folderNamesKeptOrDropped() {
    EngineFixture f;
    const fs::path file = f.writeSource("deep/er/name.txt", "x");
    QCOMPARE(f.add({file}, ArchiveComponent::AddDirNames), 0);
    auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{1});
    QCOMPARE(listing.entries[0].name, entryNameOf(file));
    QVERIFY(!listing.entries[0].name.startsWith('/'));
    QVERIFY(listing.entries[0].name.endsWith("src/deep/er/name.txt"));

    fs::remove(f.archivePath());
    QCOMPARE(f.add({file}, 0), 0);
    listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries[0].name, QByteArray("name.txt"));
}

void ArchiveOptionsTest::hiddenFilesNeedTheOption() {
    EngineFixture f;
    const fs::path visible = f.writeSource("visible.txt", "v");
    const fs::path hidden = f.writeSource(".hidden", "h");
    const fs::path inHiddenFolder = f.writeSource(".config/settings.txt", "s");
    QCOMPARE(f.add({visible, hidden, inHiddenFolder}, ArchiveComponent::AddDirNames), 0);
    auto listing = archivecheck::pythonListing(f.archivePath());
    QCOMPARE(listing.entries.size(), std::size_t{2});
    QVERIFY(listing.find(entryNameOf(visible)));
    QVERIFY(!listing.find(entryNameOf(hidden)));
    QVERIFY(listing.find(entryNameOf(inHiddenFolder))); // the walk decides about folders
    QVERIFY(f.zip().SkippedFiles().empty());

    fs::remove(f.archivePath());
    QCOMPARE(f.add({visible, hidden}, ArchiveComponent::AddDirNames | ArchiveComponent::AddHiddenFiles), 0);
    listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY(listing.find(entryNameOf(hidden)));
}

void ArchiveOptionsTest::commentInEndRecord() {
    EngineFixture f;
    const fs::path file = f.writeSource("a.txt", "a");
    f.zip().FileSpecList = {file};
    f.zip().ZipFileName = f.archivePath();
    f.zip().ArchiveComment = QStringLiteral("Quoralis 07.12.2026 \u00e9t\u00e9");
    QCOMPARE(f.zip().AddFiles(), 0);
    const QByteArray bytes = EngineFixture::readAll(f.archivePath());
    const QByteArray comment = f.zip().ArchiveComment.toUtf8();
    // The end-of-central-directory record closes the file, followed only by the comment.
    const QByteArray record = bytes.right(22 + comment.size());
    QCOMPARE(record.left(4), QByteArray("PK\x05\x06", 4));
    QCOMPARE(static_cast<unsigned char>(record[20]) | (static_cast<unsigned char>(record[21]) << 8),
             static_cast<int>(comment.size()));
    QCOMPARE(record.mid(22), comment);
    QCOMPARE(archivecheck::pythonListing(f.archivePath()).comment, comment);
}

void ArchiveOptionsTest::modificationTimeStored() {
    EngineFixture f;
    const fs::path file = f.writeSource("dated.txt", "content");
    const std::int64_t when = 1700000000 + 13; // an odd second: DOS time keeps only even ones
    EngineFixture::setMtime(file, when);
    QCOMPARE(f.add({file}, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    const QList<int> expected = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                 local.tm_hour,        local.tm_min,     local.tm_sec / 2 * 2};
    QCOMPARE(listing.entries[0].dateTime, expected);
    // The exact second comes back from the timestamp field on extraction.
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    const auto extracted = out / entryNameOf(file).toStdString();
    struct stat st {};
    const int statResult = ::stat(extracted.c_str(), &st);
    QCOMPARE(statResult, 0);
    QCOMPARE(static_cast<std::int64_t>(st.st_mtim.tv_sec), when);
}

namespace {

QList<int> extraTags(const QByteArray& extra) {
    QList<int> tags;
    for (qsizetype at = 0; at + 4 <= extra.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.constData() + at);
        tags.append(p[0] | (p[1] << 8));
        at += 4 + (p[2] | (p[3] << 8));
    }
    return tags;
}

// The extra fields of the local header at `offset`.
QByteArray localExtra(const fs::path& archive, qint64 offset) {
    const QByteArray bytes = EngineFixture::readAll(archive);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + offset);
    const int nameLength = p[26] | (p[27] << 8);
    const int extraLength = p[28] | (p[29] << 8);
    return bytes.mid(offset + 30 + nameLength, extraLength);
}

constexpr int RawNameTag = 0x514e;

} // namespace

void ArchiveOptionsTest::everyNameIsStoredAsUtf8() {
    // One name that is not UTF-8 must not make the archive unreadable to any reader: it is stored
    // as UTF-8 and keeps its bytes in a field of ours; valid names are stored as they are.
    EngineFixture f;
    const fs::path utf8 = f.writeSource("caf\xc3\xa9.txt", "u");
    const fs::path bad = f.writeSource("d/bad\xffname.txt", "b");
    QCOMPARE(f.add({utf8, bad}, ArchiveComponent::AddDirNames), 0);
    const auto listing = archivecheck::pythonListing(f.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    QCOMPARE(listing.entries.size(), std::size_t{2});
    const auto* u = listing.find(entryNameOf(utf8));
    const auto* b = listing.find(entryNameOf(bad).replace("\xff", "\xc3\xbf"));
    QVERIFY(u && b);
    QVERIFY(u->flags & 0x800);
    QVERIFY(!extraTags(u->extra).contains(RawNameTag));
    QVERIFY(!extraTags(localExtra(f.archivePath(), u->offset)).contains(RawNameTag));
    QVERIFY(b->flags & 0x800);
    QVERIFY(extraTags(b->extra).contains(RawNameTag));
    QVERIFY(b->extra.contains(entryNameOf(bad)));
    QVERIFY(localExtra(f.archivePath(), b->offset).contains(entryNameOf(bad)));

    QString output;
    QVERIFY2(archivecheck::unzipTest(f.archivePath(), &output), qPrintable(output));
    QVERIFY2(archivecheck::pythonTest(f.archivePath(), &output), qPrintable(output));
    if (!archivecheck::haveProgram(QStringLiteral("java")) ||
        !archivecheck::haveProgram(QStringLiteral("7z")))
        QSKIP("java or 7z is not installed");
    QVERIFY2(archivecheck::javaTest(f.archivePath(), &output), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("ok 2")), qPrintable(output));
    QVERIFY2(archivecheck::sevenZipTest(f.archivePath(), &output), qPrintable(output));
}

void ArchiveOptionsTest::nonUtf8NameComesBackAsTheSameBytes() {
    EngineFixture f;
    const std::string name = "r\xe9sum\xe9-\xff\xfe.txt";
    const fs::path file = f.writeSource(name, "latin-1 name");
    QCOMPARE(f.add({file}, ArchiveComponent::AddDirNames), 0);
    f.verifyArchive(f.archivePath());
    const fs::path out = f.root() / "extracted";
    QCOMPARE(f.zip().ExtractArchive(f.archivePath(), out), 0);
    const fs::path back = out / entryNameOf(file).toStdString();
    QVERIFY(back.filename().native() == name);
    QCOMPARE(EngineFixture::readAll(back), QByteArray("latin-1 name"));

    // Another tool renamed the entry and left our field behind: the new name is the one used.
    const QByteArray stored = "r\xc3\xa9sum\xc3\xa9-\xc3\xbf\xc3\xbe.txt";
    const QByteArray renamed = "r\xc3\xa9sum\xc3\xa9-\xc3\xbf\xc3\xbe.old";
    QByteArray bytes = EngineFixture::readAll(f.archivePath());
    QCOMPARE(bytes.count(stored), 2); // local and central header
    bytes.replace(stored, renamed);
    const fs::path patched = f.root() / "renamed.zip";
    QFile patchedFile(QString::fromStdString(patched.native()));
    QVERIFY(patchedFile.open(QIODevice::WriteOnly) && patchedFile.write(bytes) == bytes.size());
    patchedFile.close();
    const fs::path renamedOut = f.root() / "renamed";
    QCOMPARE(f.zip().ExtractArchive(patched, renamedOut), 0);
    QByteArray renamedPath = entryNameOf(file);
    renamedPath.replace(QByteArray::fromStdString(name), renamed);
    QCOMPARE(EngineFixture::readAll(renamedOut / renamedPath.toStdString()), QByteArray("latin-1 name"));
    QVERIFY(!fs::exists(renamedOut / entryNameOf(file).toStdString()));
}

void ArchiveOptionsTest::emptyListAndNoArchiveNameFail() {
    EngineFixture f;
    QVERIFY(f.add({}, ArchiveComponent::AddDirNames) != 0);
    QVERIFY(!f.zip().ErrorText().isEmpty());
    QVERIFY(!fs::exists(f.archivePath()));
    f.zip().FileSpecList = {f.writeSource("a", "a")};
    f.zip().ZipFileName.clear();
    QVERIFY(f.zip().AddFiles() != 0);
    QVERIFY(!f.zip().ErrorText().isEmpty());
}

QTEST_GUILESS_MAIN(ArchiveOptionsTest)
#include "tst_archiveoptions.moc"
