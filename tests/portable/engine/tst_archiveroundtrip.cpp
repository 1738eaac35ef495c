// Archives made, updated, tested and extracted through the engine's C interface; the same
// expectations hold on every system, so an archive made on one reads the same on the other.
#include "archivecase.h"

#include "testsystem.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t WithFolders = ZE_ADD_DIR_NAMES;

std::vector<std::string> pathsOf(const std::map<std::string, std::string>& files) {
    std::vector<std::string> paths;
    for (const auto& [name, path] : files)
        paths.push_back(path);
    return paths;
}

} // namespace

class ArchiveRoundTrip : public ArchiveCase {
protected:
    // Names of every kind a backup meets; the hidden file is hidden on every system (a leading dot
    // here, the attribute as well on Windows).
    void makeTree() {
        for (const auto& [name, content] :
             std::map<std::string, std::string>{{"Übersicht/naïve café.txt", "Grüße aus der Übersicht\n"},
                                                {"日本語.txt", "日本語のテキスト\n"},
                                                {"empty.txt", ""},
                                                {"data/random.bin", randomBytes(3 * 1024 * 1024 + 17, 7)}}) {
            const std::string path = put(name, content);
            m_files[entryNameOf(path)] = path;
        }
        m_hidden = put("notes/.hidden.txt", "not for everyone\n");
        testsystem::markHidden(m_hidden);
    }

    std::map<std::string, std::string> m_files; // entry name to path, the hidden file aside
    std::string m_hidden;
};

TEST_F(ArchiveRoundTrip, namesOfEveryKindAreStoredAsTheTreesPathsAndComeBackWithTheirBytesAndTimes) {
    makeTree();
    const std::string archive = archivePath("backup.zip");
    std::vector<std::string> paths = pathsOf(m_files);
    paths.push_back(m_hidden);

    const EngineCalls::Run made = m_calls.add(archive, paths, WithFolders);
    ASSERT_EQ(made.rc, ZE_OK) << made.messageText();
    for (std::size_t i = 0; i + 1 < paths.size(); ++i)
        EXPECT_EQ(made.results[i].status, ZE_FILE_ADDED) << paths[i];
    EXPECT_EQ(made.results.back().status, ZE_FILE_EXCLUDED) << "a hidden file is left out unless asked for";
    expectArchiveHolds(archive, m_files);

    // The hidden file is asked for now; the others are up to date, one of them changed.
    const std::string changed = put("日本語.txt", "日本語のテキスト、書き直した\n");
    const EngineCalls::Run updated =
        m_calls.add(archive, paths, WithFolders | ZE_ADD_UPDATE | ZE_ADD_HIDDEN_FILES);
    ASSERT_EQ(updated.rc, ZE_OK) << updated.messageText();
    for (std::size_t i = 0; i + 1 < paths.size(); ++i)
        EXPECT_EQ(updated.results[i].status, paths[i] == changed ? ZE_FILE_REPLACED : ZE_FILE_UP_TO_DATE)
            << paths[i];
    EXPECT_EQ(updated.results.back().status, ZE_FILE_ADDED);
    m_files[entryNameOf(m_hidden)] = m_hidden;
    expectArchiveHolds(archive, m_files);
    exportCase("names-of-every-kind", archive, m_files);
}

TEST_F(ArchiveRoundTrip, anUpdateWithTheArchiveAmongItsFilesKeepsOnlyTheArchiveItselfOut) {
    // The archive lies in the folder it backs up, on the same drive, and is listed with its files.
    const std::string kept = put("kept.txt", "stays as it is\n");
    const std::string changing = put("changing.txt", "first version\n");
    const std::string archive = TestTree::utf8(m_tree.path("backup.zip"));
    const EngineCalls::Run first = m_calls.add(archive, {kept, changing}, WithFolders);
    ASSERT_EQ(first.rc, ZE_OK) << first.messageText();

    put("changing.txt", "second version, longer\n");
    const std::string added = put("added.txt", "new since the first run\n");
    const EngineCalls::Run update =
        m_calls.add(archive, {kept, changing, added, archive}, WithFolders | ZE_ADD_UPDATE);
    ASSERT_EQ(update.rc, ZE_OK) << update.messageText();
    EXPECT_EQ(update.results[0].status, ZE_FILE_UP_TO_DATE);
    EXPECT_EQ(update.results[1].status, ZE_FILE_REPLACED);
    EXPECT_EQ(update.results[2].status, ZE_FILE_ADDED);
    EXPECT_EQ(update.results[3].status, ZE_FILE_EXCLUDED);
    const std::map<std::string, std::string> files = {
        {entryNameOf(kept), kept}, {entryNameOf(changing), changing}, {entryNameOf(added), added}};
    expectArchiveHolds(archive, files);
    exportCase("archive-beside-its-files", archive, files);
}

TEST_F(ArchiveRoundTrip, theArchiveIsReplacedWhileAnotherProgramHoldsItOpenForReading) {
    const std::string first = put("first.txt", "in both archives\n");
    const std::string archive = archivePath("backup.zip");
    ASSERT_EQ(m_calls.add(archive, {first}, WithFolders).rc, ZE_OK);

    const std::string second = put("second.txt", "only in the new archive\n");
    std::string before;
    ASSERT_TRUE(testsystem::readFile(archive, before));
    int rc = ZE_OK;
    {
        const testsystem::HeldFile scanner(archive);
        ASSERT_TRUE(scanner.isOpen());
        const EngineCalls::Run update = m_calls.add(archive, {first, second}, WithFolders | ZE_ADD_UPDATE);
        rc = update.rc;
        if (rc == ZE_ERR_REPLACE && testsystem::openFilesMayBlockReplacing()) {
            // Refused while it is open: the previous archive stays exactly as it was.
            std::string after;
            ASSERT_TRUE(testsystem::readFile(archive, after));
            EXPECT_TRUE(after == before);
        } else {
            ASSERT_EQ(rc, ZE_OK) << update.messageText();
            EXPECT_EQ(update.results[1].status, ZE_FILE_ADDED);
        }
    }
    if (rc != ZE_OK) {
        const EngineCalls::Run again = m_calls.add(archive, {first, second}, WithFolders | ZE_ADD_UPDATE);
        ASSERT_EQ(again.rc, ZE_OK) << again.messageText();
        EXPECT_EQ(again.results[1].status, ZE_FILE_ADDED);
    }
    expectArchiveHolds(archive, {{entryNameOf(first), first}, {entryNameOf(second), second}});

    // A fresh archive replaces the previous one whole.
    const EngineCalls::Run fresh = m_calls.add(archive, {second}, WithFolders | ZE_ADD_FRESH);
    ASSERT_EQ(fresh.rc, ZE_OK) << fresh.messageText();
    expectArchiveHolds(archive, {{entryNameOf(second), second}});
}

TEST_F(ArchiveRoundTrip, filesDeeperThanTheSystemsUsualPathLimitAreArchivedAndExtracted) {
    std::string folders;
    for (int level = 0; level < 8; ++level)
        folders += "folder-" + std::to_string(level) + "-with-a-long-name-to-go-deep/";
    const std::string deep = TestTree::utf8(m_tree.root()) + "/" + folders + "deep file.txt";
    ASSERT_GT(deep.size(), 300u);
    ASSERT_TRUE(testsystem::writeFile(testsystem::longPathForm(deep), "far down\n"));
    ASSERT_TRUE(testsystem::setModificationTime(testsystem::longPathForm(deep), FixedTimeNs));

    // Given in the long form where the system has one, as the program lists such files.
    const std::string archive = archivePath("deep.zip");
    const EngineCalls::Run made = m_calls.add(archive, {testsystem::longPathForm(deep)}, WithFolders);
    ASSERT_EQ(made.rc, ZE_OK) << made.messageText();
    const std::map<std::string, std::string> files = {{entryNameOf(deep), testsystem::longPathForm(deep)}};
    expectArchiveHolds(archive, files);
    exportCase("deeper-than-the-path-limit", archive, files);
}

// Run in every build; filter it out with --gtest_filter=-*LargeFile* where time is short.
TEST_F(ArchiveRoundTrip, LargeFileOver4GiBIsStoredWithZip64AndReadBack) {
    constexpr std::uint64_t Size = (std::uint64_t{4} << 30) + 4099;
    const fs::path sparse = m_tree.writeSparse("large/zeros.bin", Size);
    const std::string path = TestTree::utf8(sparse);
    ASSERT_TRUE(testsystem::setModificationTime(path, FixedTimeNs));
    const std::string small = put("large/small.txt", "beside a large file\n");
    const std::string archive = archivePath("large.zip");

    const EngineCalls::Run made = m_calls.add(archive, {path}, WithFolders, 1);
    ASSERT_EQ(made.rc, ZE_OK) << made.messageText();
    EXPECT_EQ(made.results[0].size, Size);
    const EngineCalls::Run updated = m_calls.add(archive, {path, small}, WithFolders | ZE_ADD_UPDATE, 1);
    ASSERT_EQ(updated.rc, ZE_OK) << updated.messageText();
    EXPECT_EQ(updated.results[0].status, ZE_FILE_UP_TO_DATE);
    EXPECT_EQ(updated.results[1].status, ZE_FILE_ADDED);

    const ArchiveListing listing(archive);
    ASSERT_EQ(listing.error(), "");
    ASSERT_EQ(listing.entries().size(), 2u);
    EXPECT_EQ(listing.entries()[0].size, Size);
    EXPECT_EQ(m_calls.extract(archive, std::string(), ZE_EXTRACT_TEST_ONLY).rc, ZE_OK);

    const std::string destination = TestTree::utf8(m_work.makeFolder("extracted"));
    const EngineCalls::Run extract = m_calls.extract(archive, destination);
    ASSERT_EQ(extract.rc, ZE_OK) << extract.messageText();
    const std::string extracted = destination + "/" + entryNameOf(path);
    std::int64_t time = 0;
    ASSERT_TRUE(testsystem::modificationTime(extracted, time));
    EXPECT_EQ(time, FixedTimeNs);
    EXPECT_EQ(fs::file_size(fs::path(std::u8string(extracted.begin(), extracted.end()))), Size);
    std::uint64_t nonZero = 0;
    EXPECT_TRUE(testsystem::forEachPiece(extracted, [&](const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            nonZero += data[i] != 0;
    }));
    EXPECT_EQ(nonZero, 0u);
    fs::remove(fs::path(std::u8string(extracted.begin(), extracted.end())));

    ArchiveExport output("larger-than-4-gib");
    EXPECT_TRUE(output.addZeros(entryNameOf(path), Size));
    EXPECT_TRUE(output.addFile(entryNameOf(small), small));
    EXPECT_TRUE(output.finish(archive));
}
