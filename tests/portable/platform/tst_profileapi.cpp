// The system's profile functions on Windows, run through the cases of the test data that our
// own reader and writer on Linux are held to as well.
#include "platform/profileapi.h"
#include "profilecases.h"
#include "testtree.h"
#include "treemaker.h"

#include <gtest/gtest.h>

namespace profileapi = platform::profileapi;

namespace {

class SystemProfile : public ProfileOperations {
public:
    std::string read(const std::filesystem::path& file, const std::string& section, const std::string& key,
                     const std::string& defaultValue) override {
        return profileapi::readString(file, section, key, defaultValue);
    }
    std::vector<std::string> keys(const std::filesystem::path& file, const std::string& section) override {
        return profileapi::readKeys(file, section);
    }
    bool write(const std::filesystem::path& file, const std::string& section, const std::string& key,
               const std::string& value) override {
        return profileapi::writeString(file, section, key, value);
    }
    bool erase(const std::filesystem::path& file, const std::string& section) override {
        return profileapi::eraseSection(file, section);
    }
};

} // namespace

TEST(ProfileApi, CasesOfTheTestData) {
    std::string error;
    const std::vector<ProfileCase> cases =
        readProfileCases(std::filesystem::path(QUORALIS_TEST_DATA_DIR) / "profilecases.txt", error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_GE(cases.size(), 20u);
    TestTree tree("profilecases");
    SystemProfile system;
    const ProfileSide side = treemaker::underWine() ? ProfileSide::Wine : ProfileSide::Windows;
    for (const ProfileCase& profileCase : cases) {
        const std::string fault = runProfileCase(profileCase, tree.path("cases.ini"), system, side);
        EXPECT_TRUE(fault.empty()) << fault;
    }
}

// A section of more keys than the first buffer holds is listed whole.
TEST(ProfileApi, ManyKeysArriveWhole) {
    TestTree tree("profilekeys");
    std::string text = "[Folders]\r\n";
    for (int i = 0; i < 5000; ++i)
        text += "Folder" + std::to_string(i) + "=C:\\some\\folder\r\n";
    const std::filesystem::path file = tree.write("many.ini", text);
    const std::vector<std::string> keys = profileapi::readKeys(file, "folders");
    ASSERT_EQ(keys.size(), 5000u);
    EXPECT_EQ(keys.front(), "Folder0");
    EXPECT_EQ(keys.back(), "Folder4999");
}

// A file the functions cannot write makes the write fail, and nothing is made in its place.
TEST(ProfileApi, AWriteIntoAMissingFolderFails) {
    TestTree tree("profilefail");
    const std::filesystem::path file = tree.path("missing/settings.ini");
    EXPECT_FALSE(profileapi::writeString(file, "Main", "key", "value"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(profileapi::readString(file, "Main", "key", "fallback"), "fallback");
}
