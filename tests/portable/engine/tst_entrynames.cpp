// Every way a system writes the path of one file gives one entry name, the name the same file has
// on the other system.
#include "entryname.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool onWindows() {
    return std::string(QUORALIS_TEST_SYSTEM) == "windows";
}

std::vector<std::string> spellingsOfOneFile() {
    if (onWindows())
        return {"C:\\Users\\Ann\\Übersicht\\naïve café.txt",
                "C:/Users/Ann/Übersicht/naïve café.txt",
                "\\\\?\\C:\\Users\\Ann\\Übersicht\\naïve café.txt",
                "C:\\Users\\Ann\\.\\Temp\\..\\Übersicht\\naïve café.txt",
                "\\\\fileserver\\home\\Users\\Ann\\Übersicht\\naïve café.txt",
                "\\\\?\\UNC\\fileserver\\home\\Users\\Ann\\Übersicht\\naïve café.txt"};
    return {"/Users/Ann/Übersicht/naïve café.txt", "//Users/Ann/Übersicht/naïve café.txt",
            "/Users/Ann/./Temp/../Übersicht/naïve café.txt", "/Users/Ann/Übersicht//naïve café.txt"};
}

} // namespace

TEST(EntryNames, everySpellingOfAPathGivesTheFoldersWithSlashesAndNothingOfItsRoot) {
    for (const std::string& path : spellingsOfOneFile()) {
        EXPECT_EQ(entryname::forPath(path.c_str(), true), "Users/Ann/Übersicht/naïve café.txt") << path;
        EXPECT_EQ(entryname::forPath(path.c_str(), false), "naïve café.txt") << path;
    }
}

TEST(EntryNames, aFileAtTheRootKeepsOnlyItsName) {
    const std::string path = onWindows() ? "\\\\?\\D:\\top.txt" : "/top.txt";
    EXPECT_EQ(entryname::forPath(path.c_str(), true), "top.txt");
}
