#include "archivecase.h"

#include "testsystem.h"

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

std::string ArchiveCase::put(const std::string& name, const std::string& content) {
    const fs::path file = m_tree.write(name, content);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    const std::string path = TestTree::utf8(file);
    EXPECT_TRUE(testsystem::setModificationTime(path, FixedTimeNs)) << path;
    return path;
}

std::string ArchiveCase::entryNameOf(const std::string& path) {
    const std::u8string name =
        fs::path(std::u8string(path.begin(), path.end())).relative_path().generic_u8string();
    return std::string(name.begin(), name.end());
}

std::string ArchiveCase::randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xff);
    return bytes;
}

void ArchiveCase::expectArchiveHolds(const std::string& archive,
                                     const std::map<std::string, std::string>& files) {
    const ArchiveListing listing(archive);
    ASSERT_EQ(listing.error(), "");
    std::vector<std::string> expectedNames;
    for (const auto& [name, path] : files)
        expectedNames.push_back(name);
    EXPECT_EQ(listing.names(), expectedNames);
    for (const ArchiveListing::Entry& entry : listing.entries()) {
        EXPECT_EQ(entry.madeBy, 3) << entry.name;
        EXPECT_EQ(entry.attributes >> 16, 0100644u) << entry.name;
    }

    const EngineCalls::Run test = m_calls.extract(archive, std::string(), ZE_EXTRACT_TEST_ONLY);
    EXPECT_EQ(test.rc, ZE_OK) << test.messageText();

    const std::string destination = TestTree::utf8(m_work.makeFolder("extracted"));
    const EngineCalls::Run extract = m_calls.extract(archive, destination);
    ASSERT_EQ(extract.rc, ZE_OK) << extract.messageText();
    for (const auto& [name, source] : files) {
        const std::string extracted = testsystem::longPathForm(destination + "/" + name);
        std::string want;
        std::string got;
        ASSERT_TRUE(testsystem::readFile(source, want)) << source;
        ASSERT_TRUE(testsystem::readFile(extracted, got)) << extracted;
        EXPECT_TRUE(got == want) << name << ": " << got.size() << " bytes extracted, " << want.size()
                                 << " archived";
        std::int64_t sourceTime = 0;
        std::int64_t extractedTime = 0;
        ASSERT_TRUE(testsystem::modificationTime(source, sourceTime));
        ASSERT_TRUE(testsystem::modificationTime(extracted, extractedTime));
        EXPECT_EQ(extractedTime, sourceTime) << name;
    }
    testsystem::removeTree(destination);
}

void ArchiveCase::exportCase(const std::string& caseName, const std::string& archive,
                             const std::map<std::string, std::string>& files) {
    ArchiveExport output(caseName);
    for (const auto& [name, source] : files)
        EXPECT_TRUE(output.addFile(name, source)) << name;
    EXPECT_TRUE(output.finish(archive));
}
