// Archives with encrypted entries exchanged with 7-Zip and bsdtar: they open ours with the
// password, and we decrypt theirs.
#include "aesentrydecryptor.h"
#include "aesentryencryptor.h"
#include "aesextrafield.h"
#include "archivereader.h"
#include "entryrecord.h"
#include "testtree.h"
#include "zipformat.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The password bytes are UTF-8; 7-Zip reads such a password but writes ZIP entries with ASCII ones only.
const std::string password = "Ex\xc3\xa4mple pass 42";
const std::string asciiPassword = "Example pass 42";

bool installed(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

std::string sampleText(std::size_t size) {
    std::string out;
    for (std::size_t line = 0; out.size() < size; ++line)
        out += "line " + std::to_string(line * 7919 % 100003) + " of the sample\n";
    out.resize(size);
    return out;
}

std::string rawDeflate(const std::string& plain) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    std::string out(libdeflate_deflate_compress_bound(compressor, plain.size()), '\0');
    out.resize(libdeflate_deflate_compress(compressor, plain.data(), plain.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

std::string rawInflate(const std::string& packed, std::size_t size) {
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    std::string out(size, '\0');
    const bool inflated = libdeflate_deflate_decompress(decompressor, packed.data(), packed.size(),
                                                        out.data(), size, nullptr) == LIBDEFLATE_SUCCESS;
    libdeflate_free_decompressor(decompressor);
    return inflated ? out : std::string();
}

// Writes an archive of encrypted entries the way the program will, in pieces of odd size.
class EncryptedArchiveWriter {
public:
    void add(const std::string& name, const std::string& plain, bool deflate) {
        std::string data = deflate ? rawDeflate(plain) : plain;
        AesEntryEncryptor encryptor;
        ASSERT_TRUE(encryptor.start(password));
        auto* bytes = reinterpret_cast<unsigned char*>(data.data());
        for (std::size_t at = 0; at < data.size(); at += 1021)
            ASSERT_TRUE(encryptor.encrypt(bytes + at, std::min<std::size_t>(1021, data.size() - at)));
        unsigned char authCode[aesentry::AuthCodeSize];
        ASSERT_TRUE(encryptor.finish(authCode));

        EntryRecord record = EntryRecord::forFile(name, 1700000000LL * 1000000000, 0100644, 0);
        record.flags |= zipformat::FlagEncrypted;
        record.versionNeeded = aesextra::VersionNeeded;
        record.method = aesextra::MethodAes;
        record.crc = 0; // the authentication code stands in for it
        record.compressedSize = data.size() + aesentry::Overhead;
        record.uncompressedSize = plain.size();
        record.localOffset = m_archive.size();
        const std::string field =
            aesextra::build(deflate ? zipformat::MethodDeflate : zipformat::MethodStore);
        record.localExtra += field;
        record.extra += field;
        m_archive += record.localHeader();
        m_archive.append(reinterpret_cast<const char*>(encryptor.prefix()), aesentry::PrefixSize);
        m_archive += data;
        m_archive.append(reinterpret_cast<const char*>(authCode), sizeof authCode);
        m_central += record.centralHeader();
        ++m_count;
    }

    std::string finish() const {
        std::string end;
        zipformat::put32(end, zipformat::EndOfCentralSignature);
        zipformat::put32(end, 0);
        zipformat::put16(end, m_count);
        zipformat::put16(end, m_count);
        zipformat::put32(end, static_cast<std::uint32_t>(m_central.size()));
        zipformat::put32(end, static_cast<std::uint32_t>(m_archive.size()));
        zipformat::put16(end, 0);
        return m_archive + m_central + end;
    }

private:
    std::string m_archive;
    std::string m_central;
    std::uint16_t m_count = 0;
};

// Decrypts (and inflates) the entry `name` of an archive whose entry holds its data compressed with
// `method`; the result or what went wrong.
std::string decryptEntry(const std::filesystem::path& archive, std::string_view name, std::uint16_t method,
                         const std::string& password) {
    ArchiveReader reader;
    if (!reader.open(archive.string()))
        return "cannot open: " + reader.errorText();
    const std::int64_t index = reader.find(name);
    if (index < 0)
        return "no entry";
    const ArchiveReader::Entry entry = reader.entry(static_cast<std::size_t>(index));
    const auto field = aesextra::find(entry.centralExtra);
    if (entry.method != aesextra::MethodAes || !field || field->strength != aesextra::StrengthAes256)
        return "not an AES-256 entry";
    if (field->compressionMethod != method)
        return "compressed with method " + std::to_string(field->compressionMethod);
    std::uint64_t offset = 0;
    std::string localExtra;
    if (!reader.locateData(entry, offset, localExtra) || entry.compressedSize < aesentry::Overhead)
        return "damaged";
    std::string stored(entry.compressedSize, '\0');
    if (pread(reader.fd(), stored.data(), stored.size(), static_cast<off_t>(offset)) !=
        static_cast<ssize_t>(stored.size()))
        return "short read";
    auto* bytes = reinterpret_cast<unsigned char*>(stored.data());
    const std::size_t dataSize = stored.size() - aesentry::Overhead;
    AesEntryDecryptor decryptor;
    if (decryptor.start(password, bytes) != AesEntryDecryptor::Result::Ok)
        return "wrong password";
    unsigned char* data = bytes + aesentry::PrefixSize;
    for (std::size_t at = 0; at < dataSize; at += 777)
        decryptor.decrypt(data + at, std::min<std::size_t>(777, dataSize - at));
    if (decryptor.finish(data + dataSize) != AesEntryDecryptor::Result::Ok)
        return "damaged";
    const std::string packed(reinterpret_cast<const char*>(data), dataSize);
    return field->compressionMethod == zipformat::MethodDeflate ? rawInflate(packed, entry.uncompressedSize)
                                                                : packed;
}

} // namespace

class AesInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!installed("7z") || !installed("bsdtar"))
            GTEST_SKIP() << "7z (p7zip-full) or bsdtar (libarchive-tools) is not installed";
    }

    TestTree tree{"aesinterop"};
    const std::string stored = sampleText(20000);
    const std::string deflated = sampleText(150000);
};

TEST_F(AesInterop, otherProgramsOpenOurEntriesWithThePassword) {
    EncryptedArchiveWriter writer;
    writer.add("stored.txt", stored, false);
    writer.add("folder/deflated.txt", deflated, true);
    writer.add("empty.txt", "", false);
    const auto archive = tree.write("ours.zip", writer.finish());

    EXPECT_EQ(run("7z t -p'" + password + "' " + quoted(archive)), 0);
    EXPECT_NE(run("7z t -p'not it' " + quoted(archive)), 0);

    const auto sevenOut = tree.makeFolder("7z");
    ASSERT_EQ(run("7z x -y -p'" + password + "' -o" + quoted(sevenOut) + " " + quoted(archive)), 0);
    EXPECT_TRUE(TestTree::read(sevenOut / "stored.txt") == stored);
    EXPECT_TRUE(TestTree::read(sevenOut / "folder/deflated.txt") == deflated);
    EXPECT_TRUE(std::filesystem::exists(sevenOut / "empty.txt"));

    const auto tarOut = tree.makeFolder("bsdtar");
    ASSERT_EQ(
        run("bsdtar -x --passphrase '" + password + "' -f " + quoted(archive) + " -C " + quoted(tarOut)), 0);
    EXPECT_TRUE(TestTree::read(tarOut / "stored.txt") == stored);
    EXPECT_TRUE(TestTree::read(tarOut / "folder/deflated.txt") == deflated);
}

TEST_F(AesInterop, weDecryptTheirStoredAndDeflatedEntries) {
    tree.write("in/stored.txt", stored);
    tree.write("in/deflated.txt", deflated);
    const auto storedArchive = tree.path("stored.zip");
    const auto deflatedArchive = tree.path("deflated.zip");
    const std::string common =
        "cd " + quoted(tree.path("in")) + " && 7z a -tzip -mem=AES256 -p'" + asciiPassword + "' ";
    ASSERT_EQ(run(common + "-mx=0 " + quoted(storedArchive) + " stored.txt"), 0);
    ASSERT_EQ(run(common + "-mm=Deflate -mx=5 " + quoted(deflatedArchive) + " deflated.txt"), 0);

    EXPECT_TRUE(decryptEntry(storedArchive, "stored.txt", zipformat::MethodStore, asciiPassword) == stored);
    EXPECT_TRUE(decryptEntry(deflatedArchive, "deflated.txt", zipformat::MethodDeflate, asciiPassword) ==
                deflated);
    EXPECT_EQ(decryptEntry(storedArchive, "stored.txt", zipformat::MethodStore, password), "wrong password");
}
