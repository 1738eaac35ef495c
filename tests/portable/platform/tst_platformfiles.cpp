// The promises the Qt-free platform files make alike on every system, checked on real files here
// and under Wine: whether a file may be replaced, opening for reading, drive types, where the
// settings live, and the archive mark.
#include "childprocess.h"
#include "platform/drivetype.h"
#include "platform/fileattributes.h"
#include "platform/fileinuse.h"
#include "platform/processlock.h"
#include "platform/readonlyfile.h"
#include "platform/settingslocation.h"
#include "testtree.h"
#include "treemaker.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using platform::FileUse;

namespace {

void makeReadOnly(const fs::path& file) {
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

bool appears(const fs::path& file) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(file) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return fs::exists(file);
}

const platform::ArchiveMark thisArchive{"portable", 1};

// As an archiver that read the file as it is now, having begun a moment after it was last touched.
bool markArchived(const fs::path& file) {
    const std::optional<platform::FileIdentity> state = platform::FileAttributes::identityOf(file);
    return state && platform::FileAttributes::clearArchiveAttribute(file, state->size, state->mtimeNs,
                                                                    state->ctimeNs + 1000000000, thisArchive);
}

bool changed(const fs::path& file) {
    const std::optional<platform::FileIdentity> state = platform::FileAttributes::identityOf(file);
    return !state || platform::FileAttributes::archiveAttributeSet(file, *state, thisArchive);
}

} // namespace

TEST(FileInUse, WhatMayBeReplaced) {
    TestTree tree("fileinuse");
    EXPECT_EQ(platform::fileUse(tree.path("missing")), FileUse::Free);
    EXPECT_FALSE(platform::isFileInUse(tree.path("missing")));
    const fs::path idle = tree.write("idle.txt", "idle");
    EXPECT_EQ(platform::fileUse(idle), FileUse::Free);
    EXPECT_EQ(platform::fileUse(tree.makeFolder("folder")), FileUse::Folder);
    const fs::path readOnly = tree.write("read-only.txt", "fixed");
    makeReadOnly(readOnly);
    EXPECT_EQ(platform::fileUse(readOnly), FileUse::ReadOnly);
    EXPECT_TRUE(platform::isFileInUse(readOnly));
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add);
    // Looking leaves the file as free as it was.
    EXPECT_EQ(platform::fileUse(idle), FileUse::Free);
    EXPECT_EQ(TestTree::read(idle), "idle");
}

// A file another process holds exclusively is in use until that process is gone.
TEST(FileInUse, AFileHeldByAnotherProcess) {
    TestTree tree("fileinuse");
    const fs::path file = tree.path("held.lock");
    const fs::path ready = tree.path("ready");
    ChildProcess holder(fs::path(QUORALIS_LOCK_HOLDER),
                        {TestTree::utf8(file), "held", TestTree::utf8(ready)});
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(appears(ready));
    EXPECT_EQ(platform::fileUse(file), FileUse::InUse);
    holder.kill();
    EXPECT_EQ(platform::fileUse(file), FileUse::Free);
}

TEST(ReadOnlyFile, OpensWhatIsThereAndSaysWhyNot) {
    TestTree tree("readonlyfile");
    const fs::path file = tree.write("data.bin", "content");
    makeReadOnly(file);
    {
        const platform::ReadOnlyFile opened(file);
        EXPECT_TRUE(opened.isOpen());
        EXPECT_GE(opened.descriptor(), 0);
    }
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    // Closed with the object: the file can go.
    EXPECT_TRUE(fs::remove(file));
    errno = 0;
    const platform::ReadOnlyFile missing(tree.path("missing.bin"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(errno, ENOENT);
}

TEST(DriveType, MissingPathsAreJudgedByWhatExists) {
    TestTree tree("drivetype");
    const platform::DriveType here = platform::driveTypeOf(tree.root());
    EXPECT_NE(here, platform::DriveType::Unknown);
    EXPECT_NE(here, platform::DriveType::NoRootDir);
    EXPECT_EQ(platform::driveTypeOf(tree.path("not/there/yet.zip")), here);
    EXPECT_EQ(platform::driveTypeOf(fs::path()), platform::DriveType::NoRootDir);
}

TEST(SettingsLocation, AWritableProgramFolderKeepsTheSettings) {
    TestTree tree("settingslocation");
    const fs::path program = tree.makeFolder("program");
    const platform::SettingsLocation location(program);
    EXPECT_TRUE(location.isPortable());
    EXPECT_EQ(location.settingsFile(), program / platform::SettingsLocation::settingsFileName);
    EXPECT_EQ(location.logDirectory(), program / "logs" / "");
    // The test of whether files can be made there leaves none behind.
    EXPECT_TRUE(fs::is_empty(program));

    // A settings file already there keeps a copy portable.
    const fs::path beside =
        tree.write("other/" + std::string(platform::SettingsLocation::settingsFileName), "");
    EXPECT_TRUE(platform::SettingsLocation(beside.parent_path()).isPortable());
}

// The user's own places: %APPDATA% on Windows, the XDG folders on Linux, here all one folder.
TEST(SettingsLocation, WithoutAProgramFolderTheUsersPlacesAreUsed) {
    TestTree tree("settingslocation");
    const fs::path user = tree.path("Benutzer Ü");
    for (const char* variable : {"APPDATA", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        ASSERT_TRUE(treemaker::setEnvironment(variable, TestTree::utf8(user)));
    const platform::SettingsLocation location(tree.path("no program here"));
    EXPECT_FALSE(location.isPortable());
    EXPECT_EQ(location.settingsFile(), user / "Quoralis2005" / platform::SettingsLocation::settingsFileName);
    EXPECT_EQ(location.logDirectory(), user / "Quoralis2005" / "logs" / "");
    EXPECT_TRUE(fs::is_directory(user / "Quoralis2005"));
}

TEST(FileAttributes, TheArchiveMarkFollowsTheFile) {
    TestTree tree("fileattributes");
    const fs::path file = tree.write("doc.txt", "first");
    ASSERT_TRUE(treemaker::setModified(file, 1000000000000000000));
    const std::optional<platform::FileIdentity> state = platform::FileAttributes::identityOf(file);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->size, 5u);
    EXPECT_EQ(state->mtimeNs, 1000000000000000000);
    EXPECT_FALSE(platform::FileAttributes::identityOf(tree.path("missing")).has_value());

    EXPECT_TRUE(changed(file)); // never archived
    ASSERT_TRUE(markArchived(file));
    // Wine 8 shows every file with the archive attribute, whatever was set.
    if (!treemaker::underWine()) {
        EXPECT_FALSE(changed(file));
    }
    tree.write("doc.txt", "second, longer");
    EXPECT_TRUE(changed(file));

    // Written to while it was archived: the mark is not cleared.
    const std::optional<platform::FileIdentity> seen = platform::FileAttributes::identityOf(file);
    tree.write("doc.txt", "third, longer still");
    EXPECT_FALSE(platform::FileAttributes::clearArchiveAttribute(file, seen->size, seen->mtimeNs,
                                                                 seen->ctimeNs + 1000000000, thisArchive));
    EXPECT_TRUE(changed(file));
    EXPECT_FALSE(platform::FileAttributes::clearArchiveAttribute(tree.path("missing"), 1, 1, 1, thisArchive));
}
