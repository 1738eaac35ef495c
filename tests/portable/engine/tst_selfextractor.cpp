// A self-extracting archive: the stub program with an archive appended, started as a program of
// its own, gives back every file.
#include "archivecase.h"

#include "childprocess.h"
#include "testsystem.h"

#include <filesystem>

namespace fs = std::filesystem;

class SelfExtractor : public ArchiveCase {};

TEST_F(SelfExtractor, theStubWithAnArchiveAppendedExtractsEveryFileWhereItIsTold) {
    std::map<std::string, std::string> files;
    for (const auto& [name, content] : std::map<std::string, std::string>{
             {"Übersicht/naïve café.txt", "Grüße\n"}, {"data/random.bin", randomBytes(300000, 11)}}) {
        const std::string path = put(name, content);
        files[entryNameOf(path)] = path;
    }
    const std::string archive = archivePath("backup.zip");
    std::vector<std::string> paths;
    for (const auto& [name, path] : files)
        paths.push_back(path);
    const EngineCalls::Run made = m_calls.add(archive, paths, ZE_ADD_DIR_NAMES);
    ASSERT_EQ(made.rc, ZE_OK) << made.messageText();

    std::string stub;
    std::string archived;
    ASSERT_TRUE(testsystem::readFile(std::string(QUORALIS_ENGINE_DIR) + "/dzsfxus.bin", stub));
    ASSERT_TRUE(testsystem::readFile(archive, archived));
    const std::string program = archivePath("backup.exe");
    ASSERT_TRUE(testsystem::writeFile(program, stub + archived));
    fs::permissions(fs::path(std::u8string(program.begin(), program.end())), fs::perms::owner_all);

    const std::string destination = TestTree::utf8(m_work.makeFolder("unpacked"));
    ChildProcess run(fs::path(std::u8string(program.begin(), program.end())), {destination});
    ASSERT_TRUE(run.started());
    EXPECT_EQ(run.waitForExit(), 0);
    for (const auto& [name, source] : files) {
        std::string want;
        std::string got;
        ASSERT_TRUE(testsystem::readFile(source, want)) << source;
        ASSERT_TRUE(testsystem::readFile(destination + "/" + name, got)) << name;
        EXPECT_TRUE(got == want) << name;
    }
}
