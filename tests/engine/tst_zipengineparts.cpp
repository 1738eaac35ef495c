// The engine's building blocks that are easy to get subtly wrong.
#include "archivelock.h"
#include "archiveoutput.h"
#include "archiveverifier.h"
#include "centraldirectory.h"
#include "crc32combine.h"
#include "deflatejoin.h"
#include "entrydatacheck.h"
#include "entryname.h"
#include "entryrecord.h"
#include "messagetable.h"
#include "scratchbuffer.h"
#include "zipformat.h"

#include <QDir>
#include <QFile>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <thread>

namespace {

std::vector<unsigned char> sample(std::size_t size, quint32 seed, int kind) {
    QRandomGenerator random(seed);
    std::vector<unsigned char> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        switch (kind) {
        case 0:
            data[i] = static_cast<unsigned char>("the quick brown fox "[random.bounded(20)]);
            break;
        case 1:
            data[i] = static_cast<unsigned char>(random.generate());
            break;
        default:
            data[i] = static_cast<unsigned char>((i / 1000) % 2 ? random.generate() : 'a');
            break;
        }
    }
    return data;
}

std::vector<unsigned char> deflate(const unsigned char* data, std::size_t size, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    std::vector<unsigned char> out(libdeflate_deflate_compress_bound(c, size) + 8);
    out.resize(libdeflate_deflate_compress(c, data, size, out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

} // namespace

class DeflateJoinTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void piecesJoinIntoOneStream_data();
    void piecesJoinIntoOneStream();
    void scanFindsTheEndOfEveryBlockType();
    void malformedStreamsAreRefused();
};

void DeflateJoinTest::piecesJoinIntoOneStream_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("pieceSize");
    QTest::addColumn<int>("level");
    QTest::newRow("text, dynamic blocks") << 0 << 300000 << 9;
    QTest::newRow("noise, stored blocks") << 1 << 100000 << 9;
    QTest::newRow("mixed, small pieces, fast level") << 2 << 7777 << 1;
    QTest::newRow("tiny pieces, fixed blocks") << 0 << 17 << 6;
    QTest::newRow("one-byte pieces") << 2 << 1 << 12;
}

void DeflateJoinTest::piecesJoinIntoOneStream() {
    QFETCH(int, kind);
    QFETCH(int, pieceSize);
    QFETCH(int, level);
    const std::vector<unsigned char> data = sample(pieceSize == 1 ? 200 : 1000000, 5, kind);
    std::vector<unsigned char> joined;
    for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(pieceSize)) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(pieceSize), data.size() - at);
        std::vector<unsigned char> piece = deflate(data.data() + at, n, level);
        std::size_t size = piece.size();
        if (at + n < data.size())
            QVERIFY(deflatejoin::makeJoinable(piece, size));
        joined.insert(joined.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(size));
    }
    std::vector<unsigned char> back(data.size() + 1);
    std::size_t got = 0;
    std::size_t consumed = 0;
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    const auto rc = libdeflate_deflate_decompress_ex(d, joined.data(), joined.size(), back.data(),
                                                     back.size(), &consumed, &got);
    libdeflate_free_decompressor(d);
    QCOMPARE(rc, LIBDEFLATE_SUCCESS);
    QCOMPARE(consumed, joined.size()); // one stream, ending exactly at the end
    back.resize(got);
    QVERIFY(back == data);
}

void DeflateJoinTest::scanFindsTheEndOfEveryBlockType() {
    for (int kind = 0; kind < 3; ++kind) {
        const std::vector<unsigned char> data = sample(50000, 9, kind);
        const std::vector<unsigned char> stream = deflate(data.data(), data.size(), 6);
        deflatejoin::StreamEnd end;
        QVERIFY(deflatejoin::scanStream(stream.data(), stream.size(), end));
        QCOMPARE((end.endBit + 7) / 8, stream.size());
        QVERIFY(end.finalHeaderBit < end.endBit);
        QVERIFY(stream[end.finalHeaderBit / 8] &
                (1u << (end.finalHeaderBit % 8))); // the final bit is set there
    }
}

void DeflateJoinTest::malformedStreamsAreRefused() {
    const std::vector<unsigned char> data = sample(100000, 3, 0);
    std::vector<unsigned char> stream = deflate(data.data(), data.size(), 9);
    deflatejoin::StreamEnd end;
    QVERIFY(!deflatejoin::scanStream(stream.data(), stream.size() / 2, end)); // cut short
    const unsigned char reserved[] = {0x07, 0x00};                            // block type 3 does not exist
    QVERIFY(!deflatejoin::scanStream(reserved, sizeof reserved, end));
    const unsigned char badStored[] = {0x01, 0x05, 0x00, 0x00, 0x00}; // NLEN is not the complement of LEN
    QVERIFY(!deflatejoin::scanStream(badStored, sizeof badStored, end));
    QVERIFY(!deflatejoin::scanStream(nullptr, 0, end));
}

class Crc32CombineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void combinesLikeOneRun_data();
    void combinesLikeOneRun();
};

void Crc32CombineTest::combinesLikeOneRun_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("empty second") << 1000 << 0;
    QTest::newRow("empty first") << 0 << 1000;
    QTest::newRow("one byte") << 1 << 1;
    QTest::newRow("uneven") << 12345 << 678901;
    QTest::newRow("large second") << 3 << (5 << 20);
}

void Crc32CombineTest::combinesLikeOneRun() {
    QFETCH(int, first);
    QFETCH(int, second);
    const std::vector<unsigned char> data = sample(static_cast<std::size_t>(first + second), 77, 1);
    const std::uint32_t whole = libdeflate_crc32(0, data.data(), data.size());
    const std::uint32_t a = libdeflate_crc32(0, data.data(), static_cast<std::size_t>(first));
    const std::uint32_t b = libdeflate_crc32(0, data.data() + first, static_cast<std::size_t>(second));
    QCOMPARE(crc32Combine(a, b, static_cast<std::uint64_t>(second)), whole);
}

class EntryNameTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nameOfPath_data();
    void nameOfPath();
    void utf8Validity_data();
    void utf8Validity();
    void storedNamesStayWithinTheNameLimit();
    void storeSuffixes();
    void unsafeNames_data();
    void unsafeNames();
    void messageFile();
};

void EntryNameTest::nameOfPath_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("keepFolders");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("root dropped") << QByteArray("/home/u/a.txt") << true << QByteArray("home/u/a.txt");
    QTest::newRow("doubled slashes") << QByteArray("//home//u/a.txt") << true << QByteArray("home/u/a.txt");
    QTest::newRow("dot-dot resolved")
        << QByteArray("/home/u/x/../a.txt") << true << QByteArray("home/u/a.txt");
    QTest::newRow("file name only") << QByteArray("/home/u/a.txt") << false << QByteArray("a.txt");
    QTest::newRow("bytes kept") << QByteArray("/d/\xff\xfe.bin") << true << QByteArray("d/\xff\xfe.bin");
}

void EntryNameTest::nameOfPath() {
    QFETCH(QByteArray, path);
    QFETCH(bool, keepFolders);
    QFETCH(QByteArray, name);
    QCOMPARE(QByteArray::fromStdString(entryname::forPath(path.constData(), keepFolders)), name);
}

void EntryNameTest::utf8Validity_data() {
    // A name that is not valid UTF-8 is stored as its rendition: valid runs kept, each other byte
    // as its Latin-1 character.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("rendition");
    QTest::newRow("ascii") << QByteArray("plain.txt") << true << QByteArray("plain.txt");
    QTest::newRow("two-byte") << QByteArray("caf\xc3\xa9") << true << QByteArray("caf\xc3\xa9");
    QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80") << true << QByteArray("\xf0\x9f\x98\x80");
    QTest::newRow("latin-1") << QByteArray("caf\xe9") << false << QByteArray("caf\xc3\xa9");
    QTest::newRow("lone 0xFF") << QByteArray("bad\xffname.txt") << false << QByteArray("bad\xc3\xbfname.txt");
    QTest::newRow("valid run kept beside a bad byte") << QByteArray("\xc3\xa9\xe9/\xf0\x9f\x98\x80") << false
                                                      << QByteArray("\xc3\xa9\xc3\xa9/\xf0\x9f\x98\x80");
    QTest::newRow("cut sequence at the end") << QByteArray("a\xc3") << false << QByteArray("a\xc3\x83");
    QTest::newRow("cut sequence before ascii")
        << QByteArray("\xe2\x82x") << false << QByteArray("\xc3\xa2\xc2\x82x");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false << QByteArray("\xc3\x80\xc2\xaf");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false
                               << QByteArray("\xc3\xad\xc2\xa0\xc2\x80");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false
                                     << QByteArray("\xc3\xb4\xc2\x90\xc2\x80\xc2\x80");
}

void EntryNameTest::utf8Validity() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, rendition);
    const std::string_view bytes(text.constData(), static_cast<std::size_t>(text.size()));
    QCOMPARE(entryname::isValidUtf8(bytes), valid);
    const std::string shown = entryname::utf8Rendition(bytes);
    QCOMPARE(QByteArray::fromStdString(shown), rendition);
    QVERIFY(entryname::isValidUtf8(shown));
}

void EntryNameTest::storedNamesStayWithinTheNameLimit() {
    // Each byte that is no UTF-8 takes two in the rendition: a long name would grow past what a
    // file name may be, and other tools refuse it.
    const std::string head(200, 'n');
    const std::string longName = head + std::string(54, '\xe9') + ".txt";
    const std::string neighbour = head + std::string(53, '\xe9') + "\xe8.txt"; // differs in one byte
    for (const std::string& raw : {longName, neighbour}) {
        const std::string stored = entryname::storedName("docs/" + raw + "/" + raw);
        QVERIFY(entryname::isValidUtf8(stored));
        for (const QByteArray& part : QByteArray::fromStdString(stored).split('/'))
            QVERIFY2(part.size() <= 255, part.constData());
        QVERIFY(stored.starts_with("docs/" + head));
        QVERIFY(stored.ends_with(".txt"));
    }
    QVERIFY(entryname::storedName(longName) != entryname::storedName(neighbour));
    // A name that fits keeps its plain rendition.
    QCOMPARE(entryname::storedName("a/caf\xe9"), std::string("a/caf\xc3\xa9"));
}

void EntryNameTest::storeSuffixes() {
    const std::vector<std::string> suffixes = {"gz", "zip", ".JAR"};
    QVERIFY(entryname::hasSuffix("/a/b.GZ", suffixes));
    QVERIFY(entryname::hasSuffix("/a/b.jar", suffixes));
    QVERIFY(!entryname::hasSuffix("/a.gz/b", suffixes)); // the folder's suffix does not count
    QVERIFY(!entryname::hasSuffix("/a/bgz", suffixes));
    QVERIFY(!entryname::hasSuffix("/a/b.zipx", suffixes));
}

void EntryNameTest::unsafeNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("unsafe");
    QTest::newRow("plain") << QByteArray("a/b/c.txt") << false;
    QTest::newRow("folder entry") << QByteArray("a/b/") << false;
    QTest::newRow("dots inside names") << QByteArray("a/..b/c..") << false;
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << true;
    QTest::newRow("parent at start") << QByteArray("../x") << true;
    QTest::newRow("parent inside") << QByteArray("a/../../x") << true;
    QTest::newRow("parent at end") << QByteArray("a/..") << true;
    QTest::newRow("empty") << QByteArray("") << true;
}

void EntryNameTest::unsafeNames() {
    QFETCH(QByteArray, name);
    QFETCH(bool, unsafe);
    QCOMPARE(entryname::isUnsafe(name.toStdString()), unsafe);
}

void EntryNameTest::messageFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("ResDlls.res")).toStdString();
    std::ofstream(path) << "# comment\r\n16\tWrite failed\r\nnot a line\n\t\n17\t\n99\tNew code\n";
    MessageTable table;
    QVERIFY(table.load(path));
    QCOMPARE(QString::fromStdString(table.text(16)), QStringLiteral("Write failed"));
    QCOMPARE(QString::fromStdString(table.format(99, "x")), QStringLiteral("New code: x"));
    QCOMPARE(QString::fromStdString(table.text(17)),
             QStringLiteral("Cannot replace the archive with the new one"));
    QVERIFY(!table.load(path + ".missing"));
    QCOMPARE(QString::fromStdString(table.text(12345)), QStringLiteral("Error 12345"));
}

class EntryCheckTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dataCheckedInOneStepOrInPieces_data();
    void dataCheckedInOneStepOrInPieces();
    void storedCrcSparesInflatingOnlyTheBytesItNames_data();
    void storedCrcSparesInflatingOnlyTheBytesItNames();
    void storedCrcFieldNamesItsEntry();
    void rawNameFieldBelongsToItsStoredName();
    void ntfsTimesKeepTheirPrecision();
    void dosDateAndTime_data();
    void dosDateAndTime();
};

void EntryCheckTest::dataCheckedInOneStepOrInPieces_data() {
    QTest::addColumn<bool>("deflated");
    QTest::addColumn<int>("flipAt");    // -1: sound data
    QTest::addColumn<bool>("crcWrong"); // the data is sound, the CRC it is checked against is not
    QTest::newRow("stored, sound") << false << -1 << false;
    QTest::newRow("stored, one byte flipped") << false << 5000 << false;
    QTest::newRow("stored, wrong CRC") << false << -1 << true;
    QTest::newRow("deflated, sound") << true << -1 << false;
    QTest::newRow("deflated, one byte flipped") << true << 300 << false;
    QTest::newRow("deflated, wrong CRC") << true << -1 << true;
}

void EntryCheckTest::dataCheckedInOneStepOrInPieces() {
    QFETCH(bool, deflated);
    QFETCH(int, flipAt);
    QFETCH(bool, crcWrong);
    const std::vector<unsigned char> raw = sample(200000, 7, 0);
    const auto crc = static_cast<std::uint32_t>(libdeflate_crc32(0, raw.data(), raw.size())) ^
                     (crcWrong ? 0x00800001u : 0u);
    const bool sound = flipAt < 0 && !crcWrong;
    std::vector<unsigned char> stored = deflated ? deflate(raw.data(), raw.size(), 6) : raw;
    if (flipAt >= 0)
        stored[static_cast<std::size_t>(flipAt)] ^= 0x04;
    const std::uint16_t method = deflated ? zipformat::MethodDeflate : zipformat::MethodStore;
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    EntryDataCheck whole(method, stored.size(), raw.size(), crc);
    QCOMPARE(whole.check(stored.data(), stored.size(), d), sound);
    libdeflate_free_decompressor(d);
    EntryDataCheck pieces(method, stored.size(), raw.size(), crc);
    bool fed = true;
    for (std::size_t at = 0; at < stored.size(); at += 777)
        fed = pieces.feed(stored.data() + at, std::min<std::size_t>(777, stored.size() - at)) && fed;
    QCOMPARE(fed && pieces.finish(), sound);
    // Announced sizes that do not match are caught too.
    EntryDataCheck shorter(method, stored.size(), raw.size() - 1, crc);
    QVERIFY(!(shorter.feed(stored.data(), stored.size()) && shorter.finish()));
}

void EntryCheckTest::storedCrcSparesInflatingOnlyTheBytesItNames_data() {
    QTest::addColumn<std::size_t>("size");
    QTest::newRow("in one step") << std::size_t{300000};
    QTest::newRow("in pieces") << std::size_t{40 << 20}; // more than is inflated in one step
}

void EntryCheckTest::storedCrcSparesInflatingOnlyTheBytesItNames() {
    QFETCH(std::size_t, size);
    const std::vector<unsigned char> raw = sample(size, 11, size > (1 << 20) ? 2 : 0);
    const auto crc = static_cast<std::uint32_t>(libdeflate_crc32(0, raw.data(), raw.size()));
    const std::vector<unsigned char> sound = deflate(raw.data(), raw.size(), 6);
    std::vector<unsigned char> garbage = sample(sound.size(), 12, 1); // does not inflate to `raw`
    garbage[0] = 0x07;                                                // a reserved block type
    std::vector<unsigned char> rotted = sound;
    rotted[rotted.size() / 2] ^= 0x10;
    const auto crcOf = [](const std::vector<unsigned char>& bytes) {
        return static_cast<std::uint32_t>(libdeflate_crc32(0, bytes.data(), bytes.size()));
    };
    QTemporaryDir dir;
    const auto verdict = [&](const std::vector<unsigned char>& inFile, std::uint16_t method,
                             const std::uint32_t* accepted, std::uint32_t* storedCrc = nullptr) {
        const QString path = dir.filePath(QStringLiteral("entry"));
        std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(inFile.data()), static_cast<std::streamsize>(inFile.size()));
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        EntryDataCheck check(method, inFile.size(), raw.size(), crc);
        if (accepted != nullptr)
            check.acceptStoredCrc(*accepted);
        ScratchBuffer input;
        ScratchBuffer output;
        const bool ok = check.checkFile(fd, 0, d, &input, &output);
        libdeflate_free_decompressor(d);
        ::close(fd);
        if (storedCrc != nullptr)
            *storedCrc = check.storedCrc();
        return ok;
    };
    const std::uint32_t garbageCrc = crcOf(garbage);
    const std::uint32_t soundCrc = crcOf(sound);
    // Bytes the CRC names are taken without inflating them: garbage passes only that way.
    QVERIFY(verdict(garbage, zipformat::MethodDeflate, &garbageCrc));
    QVERIFY(!verdict(garbage, zipformat::MethodDeflate, nullptr));
    // Other bytes are inflated: sound ones pass and give their CRC for the next time, rotted ones fail.
    std::uint32_t found = 0;
    QVERIFY(verdict(sound, zipformat::MethodDeflate, &garbageCrc, &found));
    QCOMPARE(found, soundCrc);
    QVERIFY(!verdict(rotted, zipformat::MethodDeflate, &soundCrc));
    // Stored data has the entry's own CRC to answer to.
    if (size < (1 << 20)) {
        const std::uint32_t rawGarbageCrc = crcOf(std::vector<unsigned char>(raw.size(), 'x'));
        QVERIFY(
            !verdict(std::vector<unsigned char>(raw.size(), 'x'), zipformat::MethodStore, &rawGarbageCrc));
    }
}

void EntryCheckTest::storedCrcFieldNamesItsEntry() {
    const std::string other = zipformat::ntfsExtraField(1600000000000000000, 1600000000000000000);
    const std::string extra = other + zipformat::storedCrcExtraField(0x11223344, 0xaabbccdd);
    std::uint32_t storedCrc = 0;
    QVERIFY(zipformat::storedCrcOf(extra, 0xaabbccdd, storedCrc));
    QCOMPARE(storedCrc, 0x11223344u);
    // A field written for other data (the entry's CRC changed since) says nothing.
    QVERIFY(!zipformat::storedCrcOf(extra, 0xaabbccde, storedCrc));
    QVERIFY(!zipformat::storedCrcOf(other, 0xaabbccdd, storedCrc));
    // A field cut short is no field.
    QVERIFY(!zipformat::storedCrcOf(extra.substr(0, extra.size() - 1), 0xaabbccdd, storedCrc));
    QCOMPARE(zipformat::withoutExtraField(extra, zipformat::ExtraStoredCrc), other);
}

void EntryCheckTest::rawNameFieldBelongsToItsStoredName() {
    const std::string raw = "d/bad\xffname.txt";
    const std::string stored = entryname::utf8Rendition(raw);
    const std::string field = zipformat::rawNameExtraField(stored, raw);
    const std::string extra = zipformat::ntfsExtraField(1600000000000000000, 1600000000000000000) + field;
    const auto* data = reinterpret_cast<const unsigned char*>(extra.data());
    const unsigned char* found = nullptr;
    std::size_t size = 0;
    QVERIFY(zipformat::findExtraField(data, extra.size(), zipformat::ExtraRawName, found, size));
    std::string_view name;
    QVERIFY(zipformat::rawNameOf(found, size, stored, name));
    QCOMPARE(std::string(name), raw);
    // Another tool renamed the entry: its new name is believed.
    std::string_view renamed = "left alone";
    QVERIFY(!zipformat::rawNameOf(found, size, "d/other.txt", renamed));
    QCOMPARE(renamed, std::string_view("left alone"));
    // A later layout, a cut field and a name with a NUL in it are not taken.
    std::string later(reinterpret_cast<const char*>(found), size);
    later[0] = 2;
    QVERIFY(!zipformat::rawNameOf(reinterpret_cast<const unsigned char*>(later.data()), later.size(), stored,
                                  name));
    QVERIFY(!zipformat::rawNameOf(found, 5, stored, name));
    const std::string withNul = zipformat::rawNameExtraField(stored, std::string("a\0b", 3));
    QVERIFY(!zipformat::rawNameOf(reinterpret_cast<const unsigned char*>(withNul.data()) + 4,
                                  withNul.size() - 4, stored, name));
}

void EntryCheckTest::ntfsTimesKeepTheirPrecision() {
    for (const std::int64_t ns : {std::int64_t{1600000000123456700}, std::int64_t{-5000000100},
                                  std::int64_t{4102444800000000000}}) { // 2100: past the 32-bit field
        const std::string field = zipformat::ntfsExtraField(ns, ns + 2000000000);
        std::int64_t mtime = 0;
        std::int64_t atime = 0;
        QVERIFY(zipformat::ntfsTimes(reinterpret_cast<const unsigned char*>(field.data()) + 4,
                                     field.size() - 4, mtime, atime));
        QCOMPARE(mtime, ns);
        QCOMPARE(atime, ns + 2000000000);
    }
    // Whole times in ticks, also where nanoseconds in 64 bits end (2262) and before 1970.
    const struct timespec times[] = {{-11644473600, 0},        {-1, 999999900},  {0, 100},
                                     {1600000000, 123456700},  {13569465600, 0}, {13569465600, 987654300},
                                     {910692730084, 999999900}};
    for (const struct timespec& time : times) {
        const std::int64_t ticks = zipformat::ntfsTicksOf(time);
        const struct timespec back = zipformat::unixTimeOf(ticks);
        QCOMPARE(std::int64_t(back.tv_sec), std::int64_t(time.tv_sec));
        QCOMPARE(back.tv_nsec, time.tv_nsec);
    }
}

void EntryCheckTest::dosDateAndTime_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("dosDate");
    QTest::addColumn<int>("dosTime");
    const int last = (127 << 9) | (12 << 5) | 31;
    const int lastTime = (23 << 11) | (59 << 5) | 29;
    QTest::newRow("leap day") << 2000 << 2 << 29 << 13 << 45 << 59 << ((20 << 9) | (2 << 5) | 29)
                              << ((13 << 11) | (45 << 5) | 29);
    QTest::newRow("first day") << 1980 << 1 << 1 << 0 << 0 << 0 << ((1 << 5) | 1) << 0;
    QTest::newRow("before 1980") << 1979 << 12 << 31 << 23 << 59 << 58 << ((1 << 5) | 1) << 0;
    QTest::newRow("last day") << 2107 << 12 << 31 << 23 << 59 << 58 << last << lastTime;
    // Later times are held at the end of the range, not wrapped into the 1980s.
    QTest::newRow("2108") << 2108 << 1 << 1 << 0 << 0 << 0 << last << lastTime;
    QTest::newRow("2400") << 2400 << 6 << 15 << 12 << 0 << 0 << last << lastTime;
}

void EntryCheckTest::dosDateAndTime() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(int, dosDate);
    QFETCH(int, dosTime);
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::int64_t seconds = std::mktime(&local);
    const zipformat::DosDateTime dos = zipformat::toDosDateTime(seconds);
    QCOMPARE(int(dos.date), dosDate);
    QCOMPARE(int(dos.time), dosTime);
    if (year >= 1980 && year <= 2107)
        QCOMPARE(zipformat::fromDosDateTime(dos.date, dos.time), seconds - seconds % 2);
}

class ArchivePlaceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneHolderPerArchiveName();
    void lockOfAnEarlierVersionIsHonouredThenTakenAway();
    void namedTemporaryWhereUnnamedIsRefused();
    void readBackFindsADamagedEntry();
    void storedCrcTrustedForKeptEntriesOnly();
};

void ArchivePlaceTest::oneHolderPerArchiveName() {
    QTemporaryDir dir;
    const std::string archive = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    ArchiveLock first;
    ArchiveLock second;
    ArchiveLock other;
    QCOMPARE(first.acquire(archive), ArchiveLock::Result::Held);
    QCOMPARE(second.acquire(archive), ArchiveLock::Result::InUse);
    QCOMPARE(other.acquire(archive + ".other.zip"), ArchiveLock::Result::Held);
    // The locks live outside the destination, which never holds anything but archives.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    const QString lockFile = QString::fromStdString(ArchiveLock::lockPathFor(archive));
    QVERIFY(QFile::exists(lockFile));
    QVERIFY(!lockFile.startsWith(dir.path()));
    first.release();
    QVERIFY(!QFile::exists(lockFile));
    QCOMPARE(second.acquire(archive), ArchiveLock::Result::Held);
}

void ArchivePlaceTest::lockOfAnEarlierVersionIsHonouredThenTakenAway() {
    QTemporaryDir dir;
    const std::string archive = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    const std::string legacy = ArchiveLock::legacyLockPathFor(archive);
    const int fd = ::open(legacy.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    struct flock held {};
    held.l_type = F_WRLCK;
    held.l_whence = SEEK_SET;
    QCOMPARE(::fcntl(fd, F_OFD_SETLK, &held), 0);
    ArchiveLock lock;
    QCOMPARE(lock.acquire(archive), ArchiveLock::Result::InUse);
    ::close(fd); // the earlier version's job ended (or was killed) and left its file
    QCOMPARE(lock.acquire(archive), ArchiveLock::Result::Held);
    QVERIFY(!QFile::exists(QString::fromStdString(legacy)));
}

void ArchivePlaceTest::namedTemporaryWhereUnnamedIsRefused() {
    QTemporaryDir dir;
    const std::string archive = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    const auto hidden = [&] {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    {
        ArchiveOutput out(false);
        QVERIFY(out.create(archive));
        QVERIFY(out.write(std::string("data")));
        QCOMPARE(hidden().size(), 1);
        QVERIFY(hidden().first().startsWith(QStringLiteral(".Quoralis.zip.tmp-")));
        // What a killed job leaves is recognised as this archive's and removed.
        QCOMPARE(ArchiveOutput::removeStaleTemporaries(archive), 1);
        QVERIFY(hidden().isEmpty());
    }
    ArchiveOutput out(false);
    QVERIFY(out.create(archive));
    QVERIFY(out.write(std::string("data")));
    QVERIFY(out.commit());
    QCOMPARE(hidden(), QStringList{QStringLiteral("Quoralis.zip")});
}

void ArchivePlaceTest::readBackFindsADamagedEntry() {
    // A small archive of two stored entries, written with the engine's own parts.
    QTemporaryDir dir;
    const std::string archive = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    {
        ArchiveOutput out;
        CentralDirectory directory(dir.path().toStdString());
        QVERIFY(out.create(archive));
        for (const std::string content : {"first entry's data", "second entry's data"}) {
            EntryRecord record = EntryRecord::forFile(content.substr(0, 5) + ".txt", 1600000000000000000,
                                                      0100644, 1600000000000000000);
            record.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, content.data(), content.size()));
            record.compressedSize = record.uncompressedSize = content.size();
            record.localOffset = out.position();
            QVERIFY(out.write(record.localHeader()) && out.write(content));
            QVERIFY(directory.add(record.centralHeader()));
        }
        QVERIFY(directory.writeTo(out, "comment"));
        QVERIFY(out.commit());
    }
    const auto verdict = [&](const std::vector<bool>& toCheck) {
        const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
        ArchiveVerifier verifier(fd, toCheck, 2);
        const ArchiveVerifier::Result result = verifier.run([] { return false; });
        ::close(fd);
        return result;
    };
    QCOMPARE(verdict({true, true}), ArchiveVerifier::Result::Sound);
    QCOMPARE(verdict({true}), ArchiveVerifier::Result::Damaged); // an entry more than expected
    {
        std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), {});
        const std::size_t at = bytes.find("second entry's data");
        QVERIFY(at != std::string::npos);
        file.seekp(static_cast<std::streamoff>(at + 3));
        file.put('X');
    }
    QCOMPARE(verdict({true, true}), ArchiveVerifier::Result::Damaged);
    QCOMPARE(verdict({true, false}), ArchiveVerifier::Result::Sound); // only what is marked is read

    // Entry by entry while the check runs on another thread, as an update copies its kept entries.
    const auto perEntry = [&](const std::vector<bool>& toCheck) {
        const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
        ArchiveVerifier verifier(fd, toCheck, 2);
        std::thread checking([&] { verifier.checkAll([] { return false; }); });
        std::vector<ArchiveVerifier::Entry> seen;
        for (std::size_t i = 0; i < toCheck.size(); ++i)
            seen.push_back(verifier.waitFor(i));
        checking.join();
        ::close(fd);
        return seen;
    };
    using E = ArchiveVerifier::Entry;
    QCOMPARE(perEntry({true, true}), (std::vector<E>{E::Sound, E::Damaged}));
    QCOMPARE(perEntry({false, true}), (std::vector<E>{E::Unchecked, E::Damaged}));
    // A directory that does not match the entries expected: nothing is vouched for.
    QCOMPARE(perEntry({true}), std::vector<E>{E::Unchecked});
}

void ArchivePlaceTest::storedCrcTrustedForKeptEntriesOnly() {
    // One deflate entry whose bytes do not inflate, with a field that vouches for those bytes.
    QTemporaryDir dir;
    const std::string archive = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    const std::string bytes = "\x07 not deflate data at all";
    const auto bytesCrc = static_cast<std::uint32_t>(libdeflate_crc32(0, bytes.data(), bytes.size()));
    {
        ArchiveOutput out;
        CentralDirectory directory(dir.path().toStdString());
        QVERIFY(out.create(archive));
        EntryRecord record = EntryRecord::forFile("a.txt", 1600000000000000000, 0100644, 1600000000000000000);
        record.method = zipformat::MethodDeflate;
        record.crc = 0x12345678;
        record.compressedSize = bytes.size();
        record.uncompressedSize = 100;
        record.extra += zipformat::storedCrcExtraField(bytesCrc, record.crc);
        record.localOffset = out.position();
        QVERIFY(out.write(record.localHeader()) && out.write(bytes));
        QVERIFY(directory.add(record.centralHeader()));
        QVERIFY(directory.writeTo(out, std::string()));
        QVERIFY(out.commit());
    }
    const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    const std::vector<bool> toCheck{true};
    // Reading back what was just written inflates it whatever its fields say.
    ArchiveVerifier readBack(fd, toCheck, 2);
    QCOMPARE(readBack.run([] { return false; }), ArchiveVerifier::Result::Damaged);
    // Kept entries are taken by the field, and the CRC found is handed on.
    ArchiveVerifier kept(fd, toCheck, 2);
    kept.acceptStoredCrcs();
    std::thread checking([&] { kept.checkAll([] { return false; }); });
    QCOMPARE(kept.waitFor(0), ArchiveVerifier::Entry::Sound);
    checking.join();
    QCOMPARE(kept.storedCrc(0), bytesCrc);
    ::close(fd);
}

class EntryRecordTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sizesAroundFourGiB_data();
    void sizesAroundFourGiB();
    void offsetsAroundFourGiB_data();
    void offsetsAroundFourGiB();
};

namespace {

const unsigned char* bytesOf(const std::string& s, std::size_t at = 0) {
    return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

// The Zip64 field among a header's extra fields; empty when there is none.
std::string zip64FieldOf(const std::string& extra) {
    const unsigned char* field = nullptr;
    std::size_t size = 0;
    if (!zipformat::findExtraField(bytesOf(extra), extra.size(), zipformat::ExtraZip64, field, size))
        return std::string();
    return std::string(reinterpret_cast<const char*>(field), size);
}

EntryRecord recordOfSizes(std::uint64_t uncompressed, std::uint64_t compressed, std::uint64_t offset) {
    ArchiveReader::Entry entry;
    entry.storedName = "big.img";
    entry.name = entry.storedName;
    entry.versionMadeBy = zipformat::MadeByUnix | 30;
    entry.versionNeeded = 20;
    entry.method = uncompressed == compressed ? zipformat::MethodStore : zipformat::MethodDeflate;
    entry.crc = 0x12345678;
    entry.uncompressedSize = uncompressed;
    entry.compressedSize = compressed;
    EntryRecord record = EntryRecord::copyOf(entry, std::string());
    record.localOffset = offset;
    return record;
}

} // namespace

void EntryRecordTest::sizesAroundFourGiB_data() {
    QTest::addColumn<quint64>("uncompressed");
    QTest::addColumn<quint64>("compressed");
    QTest::addColumn<bool>("zip64");
    QTest::newRow("4 GiB - 2") << quint64(0xfffffffe) << quint64(0xfffffffe) << false;
    // 0xFFFFFFFF itself fits the 32-bit fields; a Zip64 field for it makes Info-ZIP's unzip misread
    // the entries after it.
    QTest::newRow("4 GiB - 1") << quint64(0xffffffff) << quint64(0xffffffff) << false;
    QTest::newRow("4 GiB") << quint64(0x100000000) << quint64(0x100000000) << true;
    QTest::newRow("deflated, only the size beyond 4 GiB - 1")
        << quint64(0x100000000) << quint64(0xfffffffe) << true;
    QTest::newRow("deflated, 4 GiB - 1 and less") << quint64(0xffffffff) << quint64(0x80000000) << false;
}

void EntryRecordTest::sizesAroundFourGiB() {
    // A size above 0xFFFFFFFF puts 0xFFFFFFFF in both size fields and the values in a Zip64 field,
    // the uncompressed size first; up to 0xFFFFFFFF itself the 32-bit fields hold the sizes and
    // neither header has a Zip64 field.
    QFETCH(quint64, uncompressed);
    QFETCH(quint64, compressed);
    QFETCH(bool, zip64);
    const EntryRecord record = recordOfSizes(uncompressed, compressed, 1000);
    const std::uint32_t sizeField = zip64 ? zipformat::Max32 : static_cast<std::uint32_t>(uncompressed);
    const std::uint32_t compressedField = zip64 ? zipformat::Max32 : static_cast<std::uint32_t>(compressed);
    std::string both;
    zipformat::put64(both, uncompressed);
    zipformat::put64(both, compressed);

    const std::string local = record.localHeader();
    QCOMPARE(zipformat::get32(bytesOf(local)), zipformat::LocalHeaderSignature);
    QCOMPARE(zipformat::get32(bytesOf(local, 18)), compressedField);
    QCOMPARE(zipformat::get32(bytesOf(local, 22)), sizeField);
    const std::size_t localName = zipformat::get16(bytesOf(local, 26));
    const std::string localExtra = local.substr(zipformat::LocalHeaderSize + localName);
    QCOMPARE(localExtra.size(), std::size_t{zipformat::get16(bytesOf(local, 28))});
    QCOMPARE(zip64FieldOf(localExtra), zip64 ? both : std::string());
    QCOMPARE(zipformat::get16(bytesOf(local, 4)) >= zipformat::VersionZip64, zip64);

    const std::string central = record.centralHeader();
    QCOMPARE(zipformat::get32(bytesOf(central)), zipformat::CentralHeaderSignature);
    QCOMPARE(zipformat::get32(bytesOf(central, 20)), compressedField);
    QCOMPARE(zipformat::get32(bytesOf(central, 24)), sizeField);
    QCOMPARE(zipformat::get32(bytesOf(central, 42)), 1000u);
    const std::size_t centralName = zipformat::get16(bytesOf(central, 28));
    const std::string centralExtra =
        central.substr(zipformat::CentralHeaderSize + centralName, zipformat::get16(bytesOf(central, 30)));
    QCOMPARE(zip64FieldOf(centralExtra), zip64 ? both : std::string());
    QCOMPARE(zipformat::get16(bytesOf(central, 6)) >= zipformat::VersionZip64, zip64);
    QCOMPARE(record.centralNeedsZip64(), zip64);
}

void EntryRecordTest::offsetsAroundFourGiB_data() {
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<bool>("zip64");
    QTest::newRow("4 GiB - 2") << quint64(0xfffffffe) << false;
    QTest::newRow("4 GiB - 1") << quint64(0xffffffff) << true;
    QTest::newRow("4 GiB") << quint64(0x100000000) << true;
}

void EntryRecordTest::offsetsAroundFourGiB() {
    QFETCH(quint64, offset);
    QFETCH(bool, zip64);
    const EntryRecord record = recordOfSizes(100, 100, offset);
    const std::string central = record.centralHeader();
    QCOMPARE(zipformat::get32(bytesOf(central, 42)),
             zip64 ? zipformat::Max32 : static_cast<std::uint32_t>(offset));
    const std::size_t centralName = zipformat::get16(bytesOf(central, 28));
    const std::string centralExtra =
        central.substr(zipformat::CentralHeaderSize + centralName, zipformat::get16(bytesOf(central, 30)));
    std::string value;
    if (zip64)
        zipformat::put64(value, offset);
    // The sizes fit their fields, so the field holds the offset alone.
    QCOMPARE(zip64FieldOf(centralExtra), value);
    QCOMPARE(record.centralNeedsZip64(), zip64);
    QVERIFY(zip64FieldOf(record.localHeader().substr(zipformat::LocalHeaderSize)).empty());
}

int main(int argc, char** argv) {
    int failures = 0;
    DeflateJoinTest join;
    failures += QTest::qExec(&join, argc, argv);
    Crc32CombineTest crc;
    failures += QTest::qExec(&crc, argc, argv);
    EntryNameTest names;
    failures += QTest::qExec(&names, argc, argv);
    EntryCheckTest checks;
    failures += QTest::qExec(&checks, argc, argv);
    EntryRecordTest records;
    failures += QTest::qExec(&records, argc, argv);
    ArchivePlaceTest place;
    failures += QTest::qExec(&place, argc, argv);
    return failures;
}

#include "tst_zipengineparts.moc"
