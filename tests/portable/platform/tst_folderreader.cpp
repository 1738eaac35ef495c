// The folder reader walks a tree made from the test data, on every system, and reports the names,
// kinds, sizes, times and hidden state the data says, so the Windows reader and the Linux one are
// held to one listing.
#include "platform/fileattributes.h"
#include "platform/folderreader.h"
#include "testtree.h"
#include "treemaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using platform::FileKind;
using platform::FileStatus;
using platform::FolderEntry;
using platform::FolderError;
using platform::FolderReader;

namespace {

struct TreeEntry {
    std::string kind;
    std::string size;
    std::string modified;
    std::string hiddenOn;
    std::string path;
};

std::vector<TreeEntry> readTreeData() {
    std::ifstream in(std::filesystem::path(QUORALIS_TEST_DATA_DIR) / "foldertree.txt", std::ios::binary);
    std::vector<TreeEntry> entries;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        std::istringstream fields(line);
        TreeEntry entry;
        fields >> entry.kind >> entry.size >> entry.modified >> entry.hiddenOn >> std::ws;
        std::getline(fields, entry.path);
        entries.push_back(entry);
    }
    return entries;
}

bool hiddenHere(const TreeEntry& entry) {
    return entry.hiddenOn.find(treemaker::systemName()) != std::string::npos ||
           (treemaker::underWine() && entry.hiddenOn.find("wine") != std::string::npos);
}

// One line of a listing: kind, size (files only), time, whether hidden, path.
std::string listingLine(const std::string& kind, const std::string& size, const std::string& modified,
                        bool hidden, const std::string& path) {
    return kind + " " + (kind == "folder" ? "-" : size) + " " + modified + (hidden ? " hidden " : " shown ") +
           path;
}

const char* kindName(FileKind kind) {
    switch (kind) {
    case FileKind::Folder:
        return "folder";
    case FileKind::File:
        return "file";
    case FileKind::Link:
        return "link";
    case FileKind::Other:
        return "other";
    default:
        return "unknown";
    }
}

class Walk {
public:
    explicit Walk(const TestTree& tree)
        : m_tree(tree) {}

    std::vector<std::string> lines;
    std::vector<std::string> faults;

    void folder(FolderReader& reader, const std::string& prefix) {
        FolderEntry entry;
        FolderError error = FolderError::None;
        while (reader.nextEntry(entry, error)) {
            const std::string name = entry.name;
            const std::string path = prefix.empty() ? name : prefix + "/" + name;
            FileStatus status = entry.status;
            if (!entry.statusKnown && !reader.childStatus(name.c_str(), false, status, error)) {
                faults.push_back("no status of " + path);
                continue;
            }
            if (entry.kind != FileKind::Unknown && entry.kind != status.kind)
                faults.push_back("the listing's kind of " + path + " is not its status's");
            const bool hidden = platform::FileAttributes::isHidden(m_tree.path(path));
            // The archive mark is judged by the identity the walk saw: the same as the file's own.
            const std::optional<platform::FileIdentity> own =
                platform::FileAttributes::identityOf(m_tree.path(path));
            if (!own || own->device != status.identity.device || own->inode != status.identity.inode ||
                own->size != status.identity.size || own->mtimeNs != status.identity.mtimeNs)
                faults.push_back("the walk's identity of " + path + " is not the file's own");
            lines.push_back(listingLine(kindName(status.kind), std::to_string(status.identity.size),
                                        std::to_string(status.identity.mtimeNs), hidden, path));
            if (status.kind != FileKind::Folder)
                continue;
            FolderReader child = reader.openChild(name.c_str(), error);
            if (!child.isOpen()) {
                faults.push_back("cannot open " + path);
                continue;
            }
            folder(child, path);
        }
        if (error != FolderError::None)
            faults.push_back("the listing of " + prefix + " broke off");
    }

private:
    const TestTree& m_tree;
};

} // namespace

TEST(FolderReader, WalkReportsTheTreeOfTheTestData) {
    const std::vector<TreeEntry> data = readTreeData();
    ASSERT_GE(data.size(), 10u);
    TestTree tree("foldertree");
    std::vector<std::string> expected;
    for (const TreeEntry& entry : data) {
        const std::filesystem::path path = tree.path(entry.path);
        const bool made = entry.kind == "folder" ? treemaker::makeFolder(path)
                                                 : treemaker::makeFile(path, std::stoull(entry.size));
        ASSERT_TRUE(made) << entry.path;
        if (entry.hiddenOn.find("windows") != std::string::npos) {
            ASSERT_TRUE(treemaker::setHiddenAttribute(path)) << entry.path;
        }
        expected.push_back(
            listingLine(entry.kind, entry.size, entry.modified, hiddenHere(entry), entry.path));
    }
    // Times last: filling a folder changes its time.
    for (const TreeEntry& entry : data)
        ASSERT_TRUE(treemaker::setModified(tree.path(entry.path), std::stoll(entry.modified))) << entry.path;

    FolderError error = FolderError::None;
    FolderReader root = FolderReader::open(TestTree::utf8(tree.root()), error);
    ASSERT_TRUE(root.isOpen());
    EXPECT_EQ(error, FolderError::None);
    Walk walk(tree);
    walk.folder(root, "");
    EXPECT_EQ(walk.faults, std::vector<std::string>{});
    std::sort(expected.begin(), expected.end());
    std::sort(walk.lines.begin(), walk.lines.end());
    EXPECT_EQ(walk.lines, expected);
}

// The deepest folder and file of the data, past the old path limit, reached by their whole path.
TEST(FolderReader, PathsPastTheOldLimitAreReachedWhole) {
    const std::vector<TreeEntry> data = readTreeData();
    const auto longest =
        std::max_element(data.begin(), data.end(), [](const TreeEntry& a, const TreeEntry& b) {
            return a.path.size() < b.path.size();
        });
    ASSERT_NE(longest, data.end());
    TestTree tree("longpath");
    std::string built;
    std::istringstream names(longest->path);
    std::string name;
    std::vector<std::string> parts;
    while (std::getline(names, name, '/'))
        parts.push_back(name);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        built += (built.empty() ? "" : "/") + parts[i];
        ASSERT_TRUE(treemaker::makeFolder(tree.path(built)));
    }
    const std::filesystem::path file = tree.path(longest->path);
    ASSERT_TRUE(treemaker::makeFile(file, 3));
    ASSERT_GT(TestTree::utf8(file).size(), 260u);

    FolderError error = FolderError::None;
    FolderReader deepest = FolderReader::open(TestTree::utf8(tree.path(built)), error);
    ASSERT_TRUE(deepest.isOpen());
    FolderEntry entry;
    ASSERT_TRUE(deepest.nextEntry(entry, error));
    EXPECT_EQ(std::string(entry.name), parts.back());
    FileStatus status;
    ASSERT_TRUE(FolderReader::pathStatus(TestTree::utf8(file), status));
    EXPECT_EQ(status.kind, FileKind::File);
    EXPECT_EQ(status.identity.size, 3u);
    // Wine 8 names a handle in at most 260 characters (GetFinalPathNameByHandleW), so it gives no
    // real path here; Windows and Linux do.
    const std::string real = FolderReader::realPath(TestTree::utf8(file));
    if (!treemaker::underWine()) {
        EXPECT_GT(real.size(), 260u);
        EXPECT_TRUE(real.ends_with(parts.back())) << real;
    }
}
