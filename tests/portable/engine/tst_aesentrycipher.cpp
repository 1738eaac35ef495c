#include "aescrypto.h"
#include "aesentrydecryptor.h"
#include "aesentryencryptor.h"
#include "aesextrafield.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes fromHex(std::string_view hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Data that does not repeat within the key stream's batches.
Bytes sampleData(std::size_t size) {
    Bytes out(size);
    std::uint32_t state = 2463534242u;
    for (auto& byte : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<unsigned char>(state);
    }
    return out;
}

// An entry encrypted by another program (salt, verifier, encrypted bytes, code), with its password
// and plain bytes.
const std::string_view peerPassword = "correct horse";
const std::string_view peerPlain = "Encrypted entries keep their secrets.\n";
const std::string_view peerSalt = "c8f2d7e213de25563499748d19add686";
const std::string_view peerVerifier = "4778";
const std::string_view peerCipher =
    "c08d19984cfab89bcbe5382c33e32c54a0c03e23dcc1c222b83d483bcced86101ab5c86cabe1";
const std::string_view peerAuthCode = "b6a1281d327e74b16c60";

// An encrypted entry as the archive holds it.
struct Entry {
    Bytes prefix;
    Bytes data;
    Bytes authCode;
};

Entry encrypt(std::string_view password, const Bytes& plain, const unsigned char* salt = nullptr,
              std::size_t chunk = 0) {
    AesEntryEncryptor encryptor;
    EXPECT_TRUE(salt ? encryptor.start(password, salt) : encryptor.start(password));
    Entry entry{Bytes(encryptor.prefix(), encryptor.prefix() + aesentry::PrefixSize), plain,
                Bytes(aesentry::AuthCodeSize)};
    const std::size_t step = chunk ? chunk : plain.size() + 1;
    for (std::size_t at = 0; at < entry.data.size(); at += step)
        EXPECT_TRUE(encryptor.encrypt(entry.data.data() + at, std::min(step, entry.data.size() - at)));
    EXPECT_TRUE(encryptor.finish(entry.authCode.data()));
    return entry;
}

struct Decrypted {
    AesEntryDecryptor::Result result;
    Bytes plain;
};

Decrypted decrypt(std::string_view password, Entry entry, std::size_t chunk = 0) {
    AesEntryDecryptor decryptor;
    const AesEntryDecryptor::Result started = decryptor.start(password, entry.prefix.data());
    if (started != AesEntryDecryptor::Result::Ok)
        return {started, {}};
    const std::size_t step = chunk ? chunk : entry.data.size() + 1;
    for (std::size_t at = 0; at < entry.data.size(); at += step)
        EXPECT_TRUE(decryptor.decrypt(entry.data.data() + at, std::min(step, entry.data.size() - at)));
    return {decryptor.finish(entry.authCode.data()), entry.data};
}

} // namespace

TEST(AesPrimitives, keyDerivationMatchesPublishedVectors) {
    struct Vector {
        std::string_view password;
        std::string_view salt;
        unsigned iterations;
        std::string_view key;
    };
    using namespace std::string_view_literals;
    const Vector vectors[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {"pass\0word"sv, "sa\0lt"sv, 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const Vector& vector : vectors) {
        const Bytes expected = fromHex(vector.key);
        Bytes key(expected.size());
        ASSERT_TRUE(aescrypto::pbkdf2HmacSha1(vector.password,
                                              reinterpret_cast<const unsigned char*>(vector.salt.data()),
                                              vector.salt.size(), vector.iterations, key.data(), key.size()));
        EXPECT_EQ(key, expected) << vector.password << " " << vector.iterations;
    }
}

TEST(AesPrimitives, blockCipherAndCodeMatchPublishedVectors) {
    const Bytes key = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    Bytes blocks = fromHex("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
    aescrypto::AesBlockCipher cipher;
    ASSERT_TRUE(cipher.setKey(key.data()));
    ASSERT_TRUE(cipher.encryptBlocks(blocks.data(), blocks.data(), blocks.size()));
    // No chaining: equal blocks give equal output.
    EXPECT_EQ(blocks, fromHex("8ea2b7ca516745bfeafc49904b4960898ea2b7ca516745bfeafc49904b496089"));

    aescrypto::HmacSha1 mac;
    const std::string_view macKey = "Jefe";
    ASSERT_TRUE(mac.setKey(reinterpret_cast<const unsigned char*>(macKey.data()), macKey.size()));
    const Bytes message = bytesOf("what do ya want for nothing?");
    ASSERT_TRUE(mac.update(message.data(), 7));
    ASSERT_TRUE(mac.update(message.data() + 7, message.size() - 7));
    Bytes code(aescrypto::Sha1Size);
    ASSERT_TRUE(mac.finish(code.data()));
    EXPECT_EQ(code, fromHex("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"));
}

TEST(AesEntry, encryptsAndDecryptsAnotherProgramsEntryExactly) {
    const Bytes salt = fromHex(peerSalt);
    const Entry ours = encrypt(peerPassword, bytesOf(peerPlain), salt.data());
    Bytes expectedPrefix = salt;
    const Bytes verifier = fromHex(peerVerifier);
    expectedPrefix.insert(expectedPrefix.end(), verifier.begin(), verifier.end());
    EXPECT_EQ(ours.prefix, expectedPrefix);
    EXPECT_EQ(ours.data, fromHex(peerCipher));
    EXPECT_EQ(ours.authCode, fromHex(peerAuthCode));

    const Decrypted theirs =
        decrypt(peerPassword, {expectedPrefix, fromHex(peerCipher), fromHex(peerAuthCode)});
    EXPECT_EQ(theirs.result, AesEntryDecryptor::Result::Ok);
    EXPECT_EQ(theirs.plain, bytesOf(peerPlain));
}

TEST(AesEntry, piecesOfAnySizeGiveTheSameEntry) {
    // Longer than several batches of key stream, and not a multiple of the block size.
    const Bytes plain = sampleData(3 * 8192 + 4099);
    const Bytes salt = sampleData(aesentry::SaltSize);
    const Entry whole = encrypt("pieces", plain, salt.data());
    for (std::size_t chunk : {1, 7, 15, 16, 17, 8191, 8193}) {
        const Entry pieces = encrypt("pieces", plain, salt.data(), chunk);
        EXPECT_EQ(pieces.data, whole.data) << chunk;
        EXPECT_EQ(pieces.authCode, whole.authCode) << chunk;
        const Decrypted back = decrypt("pieces", whole, chunk + 2);
        EXPECT_EQ(back.result, AesEntryDecryptor::Result::Ok) << chunk;
        EXPECT_TRUE(back.plain == plain) << chunk;
    }
    EXPECT_NE(whole.data, plain);
}

TEST(AesEntry, emptyEntryAndNonAsciiPasswordRoundTrip) {
    const std::string password = "p\xc3\xa4ss w\xc3\xb6rd";
    const Entry empty = encrypt(password, {});
    EXPECT_EQ(decrypt(password, empty).result, AesEntryDecryptor::Result::Ok);
    EXPECT_EQ(decrypt("p\xe4ss w\xf6rd", empty).result, AesEntryDecryptor::Result::WrongPassword);
}

TEST(AesEntry, eachEntryHasItsOwnRandomSalt) {
    const Entry first = encrypt("same", bytesOf("same bytes"));
    const Entry second = encrypt("same", bytesOf("same bytes"));
    EXPECT_NE(Bytes(first.prefix.begin(), first.prefix.begin() + aesentry::SaltSize),
              Bytes(second.prefix.begin(), second.prefix.begin() + aesentry::SaltSize));
    EXPECT_NE(first.data, second.data);
    EXPECT_EQ(decrypt("same", second).plain, bytesOf("same bytes"));
}

TEST(AesEntry, tellsAWrongPasswordFromDamage) {
    const Bytes plain = sampleData(1000);
    const Entry entry = encrypt("right", plain);
    EXPECT_EQ(decrypt("wrong", entry).result, AesEntryDecryptor::Result::WrongPassword);
    EXPECT_EQ(decrypt("", entry).result, AesEntryDecryptor::Result::WrongPassword);
    AesEntryDecryptor refused;
    ASSERT_EQ(refused.start("wrong", entry.prefix.data()), AesEntryDecryptor::Result::WrongPassword);
    Bytes data = entry.data;
    EXPECT_FALSE(refused.decrypt(data.data(), data.size()));
    EXPECT_EQ(data, entry.data);

    for (std::size_t at : {std::size_t(0), std::size_t(517), plain.size() - 1}) {
        Entry damaged = entry;
        damaged.data[at] ^= 0x01;
        EXPECT_EQ(decrypt("right", damaged).result, AesEntryDecryptor::Result::Damaged) << at;
    }
    for (std::size_t at = 0; at < aesentry::AuthCodeSize; ++at) {
        Entry damaged = entry;
        damaged.authCode[at] ^= 0x80;
        EXPECT_EQ(decrypt("right", damaged).result, AesEntryDecryptor::Result::Damaged) << at;
    }
    Entry badVerifier = entry;
    badVerifier.prefix[aesentry::SaltSize + 1] ^= 0x01;
    EXPECT_EQ(decrypt("right", badVerifier).result, AesEntryDecryptor::Result::WrongPassword);
}

TEST(AesEntry, aChangedSaltIsNeverTakenForTheEntry) {
    // Another salt gives other keys: nearly always another verifier, read as a wrong password.
    Entry entry = encrypt("correct horse", sampleData(300));
    entry.prefix[5] ^= 0x10;
    EXPECT_EQ(decrypt("correct horse", entry).result, AesEntryDecryptor::Result::WrongPassword);

    // These two salts differ in one byte and give this password the same verifier (found by
    // search); the other keys still differ, and the code tells the damage.
    Bytes salt = fromHex("c852d7e213de25563499748d19add686");
    Entry collided = encrypt("correct horse", sampleData(300), salt.data());
    collided.prefix[1] = 0x77;
    EXPECT_EQ(Bytes(collided.prefix.begin() + aesentry::SaltSize, collided.prefix.end()), fromHex("55ed"));
    const Decrypted result = decrypt("correct horse", collided);
    EXPECT_EQ(result.result, AesEntryDecryptor::Result::Damaged);
}

TEST(AesExtraField, buildsAndReadsTheField) {
    const std::string field = aesextra::build(8);
    EXPECT_EQ(Bytes(field.begin(), field.end()), fromHex("0199070002004145030800"));

    // As another program wrote it for a stored entry.
    const Bytes peer = fromHex("0a000400010203040199070002004145030000");
    const auto read =
        aesextra::find(std::string_view(reinterpret_cast<const char*>(peer.data()), peer.size()));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->vendorVersion, aesextra::VendorVersionNoCrc);
    EXPECT_EQ(read->strength, aesextra::StrengthAes256);
    EXPECT_EQ(read->compressionMethod, 0);
    EXPECT_EQ(aesextra::saltSize(read->strength), aesentry::SaltSize);

    const auto data = [](std::string_view hex) {
        return fromHex(hex);
    };
    EXPECT_TRUE(aesextra::parse(data("01004145010800").data(), 7).has_value());  // version 1, AES-128
    EXPECT_FALSE(aesextra::parse(data("02004146030800").data(), 7).has_value()); // vendor
    EXPECT_FALSE(aesextra::parse(data("03004145030800").data(), 7).has_value()); // version
    EXPECT_FALSE(aesextra::parse(data("02004145040800").data(), 7).has_value()); // strength
    EXPECT_FALSE(aesextra::parse(data("020041450308").data(), 6).has_value());   // size
    EXPECT_FALSE(aesextra::find(std::string_view("\x0a\x00\x00\x00", 4)).has_value());
}
