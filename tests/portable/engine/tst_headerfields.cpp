// Which extra fields stand in which header of an entry the engine writes, as another reader sees
// them: the precise time and the stored-data check only in the central directory, so that each
// entry costs little more than its name twice.
#include "archivecase.h"

#include "archivelisting.h"

#include <filesystem>

namespace {
constexpr std::uint16_t UnixTime = 0x5455;
constexpr std::uint16_t WindowsTimes = 0x000a;
constexpr std::uint16_t StoredDataCheck = 0x5143;
} // namespace

class HeaderFields : public ArchiveCase {};

TEST_F(HeaderFields, theLocalHeaderHoldsTheUnixTimeAndTheCentralOneTheRest) {
    const std::string stored = put("a/stored.txt", "x");
    const std::string deflated = put("a/deflated.txt", std::string(5000, 'y'));
    const std::string archive = archivePath("fields.zip");
    const EngineCalls::Run made = m_calls.add(archive, {stored, deflated}, ZE_ADD_DIR_NAMES);
    ASSERT_EQ(made.rc, ZE_OK) << made.messageText();

    const ArchiveListing listing(archive);
    ASSERT_EQ(listing.error(), "");
    ASSERT_EQ(listing.entries().size(), 2u);
    for (const ArchiveListing::Entry& entry : listing.entries()) {
        EXPECT_EQ(entry.localExtraFields, std::vector<std::uint16_t>{UnixTime}) << entry.name;
        // Stored data is checked by the entry's own CRC; deflated data by its own.
        const bool isDeflated = entry.name.ends_with("deflated.txt");
        EXPECT_EQ(entry.centralExtraFields,
                  isDeflated ? (std::vector<std::uint16_t>{UnixTime, WindowsTimes, StoredDataCheck})
                             : (std::vector<std::uint16_t>{UnixTime, WindowsTimes}))
            << entry.name;
    }
}

TEST_F(HeaderFields, anEntryCostsItsNameTwiceAndAtMostAHundredAndFortyBytesBeside) {
    // Info-ZIP's own entries cost about 128 bytes beside their names; ours may cost 10 % more.
    std::vector<std::string> files;
    std::size_t nameBytes = 0;
    for (int i = 0; i < 50; ++i) {
        files.push_back(put("many/file" + std::to_string(1000 + i) + ".txt", "z"));
        nameBytes += 2 * entryNameOf(files.back()).size();
    }
    const std::string archive = archivePath("many.zip");
    const EngineCalls::Run made = m_calls.add(archive, files, ZE_ADD_DIR_NAMES, 0);
    ASSERT_EQ(made.rc, ZE_OK) << made.messageText();
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(archive.data()), archive.size())));
    const std::uintmax_t endRecord = 22;
    const std::uintmax_t perEntry = (size - endRecord - nameBytes - files.size()) / files.size();
    EXPECT_LE(perEntry, 140u);
}
