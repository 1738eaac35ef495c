#include "backupset/folderwalker.h"
#include "tree.h"
#include "unprivilegedscope.h"

#include <QTest>

#include <sys/stat.h>

using Names = std::set<std::string>;
Q_DECLARE_METATYPE(Names)

namespace fs = std::filesystem;

namespace {
struct Collected {
    std::vector<fs::path> files;
    WalkResult found;
};

Collected collect(const std::vector<fs::path>& folders, WalkOptions options = {}) {
    Collected result;
    PathList list;
    FolderWalker(std::move(options))
        .WalkFolders(folders, FolderWalker::Mode::Collecting, result.found, &list);
    for (const auto& file : list)
        result.files.push_back(file);
    return result;
}

} // namespace

// One file, one entry: however a folder is named or reached, its files are taken once, under
// the folder's real name wherever the tree itself holds it.
class WalkIdentityTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoSpellingsOfOneFolder_data() {
        QTest::addColumn<std::string>("spelling"); // how the second listing names data/b
        QTest::newRow("dot part") << std::string("/./b");
        QTest::newRow("double separator") << std::string("//b");
        QTest::newRow("trailing separator") << std::string("/b/");
        QTest::newRow("dot-dot part") << std::string("/b/../b");
        QTest::newRow("link to it") << std::string("/link-to-b");
    }
    void twoSpellingsOfOneFolder() {
        QFETCH(std::string, spelling);
        Tree tree;
        tree.file("data/b/f", 3);
        tree.file("data/b/sub/g", 4);
        fs::create_directory_symlink(tree.at("data/b"), tree.at("data/link-to-b"));
        const fs::path data = tree.at("data");
        for (const auto& order : {std::vector<fs::path>{data / "b", data.native() + spelling},
                                  std::vector<fs::path>{data.native() + spelling, data / "b"}}) {
            const Collected got = collect(order);
            QCOMPARE(tree.relative(got.files), (Names{"data/b/f", "data/b/sub/g"}));
            QCOMPARE(got.found.files, 2u);
        }
    }

    void oneSpellingAloneIsWalkedAsWritten() {
        Tree tree;
        tree.file("data/b/f", 3);
        const Collected got = collect({tree.root().native() + "//data/./b/"});
        QCOMPARE(got.files.size(), 1u);
        QCOMPARE(got.files.front().native(), tree.at("data/b/f").native());
    }

    // Whatever order the directory lists them in, the folder is taken by its real name and the
    // links to it are left alone.
    void linksIntoTheTreeAreNotFollowed() {
        Tree tree;
        tree.file("data/inner/f", 3);
        tree.file("data/inner/deeper/g", 5);
        for (const char* name : {"a", "b", "c", "d", "e", "k", "m", "p", "x", "z"})
            fs::create_directory_symlink(tree.at("data/inner"),
                                         tree.at(std::string("data/") + name + "-link"));
        fs::create_directory_symlink(tree.at("data/inner/deeper"), tree.at("data/inner/shortcut"));
        const Collected got = collect({tree.at("data")});
        QCOMPARE(tree.relative(got.files), (Names{"data/inner/f", "data/inner/deeper/g"}));
    }

    void linkListedBeforeTheFolderHoldingItsTarget() {
        Tree tree;
        tree.file("tree/inner/f", 3);
        tree.file("tree/other", 1);
        fs::create_directory_symlink(tree.at("tree/inner"), tree.at("a-link"));
        WalkOptions options;
        options.listedFolders = std::make_shared<const std::vector<fs::path>>(
            std::vector<fs::path>{tree.at("a-link"), tree.at("tree")});
        const Collected both = collect({tree.at("a-link"), tree.at("tree")}, options);
        QCOMPARE(tree.relative(both.files), (Names{"tree/inner/f", "tree/other"}));
        // Walked on its own (one archive per folder), a listed link is taken as listed.
        const Collected alone = collect({tree.at("a-link")}, options);
        QCOMPARE(tree.relative(alone.files), Names{"a-link/f"});
    }

    // The real folder is left out of the other walk, so the link's own listing still brings it.
    void listedLinkToAnExcludedFolderIsStillTaken() {
        Tree tree;
        tree.file("tree/inner/f", 3);
        fs::create_directory_symlink(tree.at("tree/inner"), tree.at("a-link"));
        WalkOptions options;
        options.excludedFolders = {tree.at("tree/inner")};
        const Collected got = collect({tree.at("a-link"), tree.at("tree")}, options);
        QCOMPARE(tree.relative(got.files), Names{"a-link/f"});
    }

    void linkLeadingOutOfTheTreeIsFollowedOnce() {
        Tree tree;
        Tree outside;
        outside.file("shared/s", 6);
        tree.file("data/f", 1);
        fs::create_directory_symlink(outside.at("shared"), tree.at("data/one"));
        fs::create_directory_symlink(outside.at("shared"), tree.at("data/two"));
        const Collected got = collect({tree.at("data")});
        QCOMPARE(got.found.files, 2u);
        QCOMPARE(got.found.bytes, 7u);
    }

    void destinationArchivesAreNeverTaken_data() {
        QTest::addColumn<std::string>("destinationSpelling");
        QTest::newRow("as is") << std::string("data/backups");
        QTest::newRow("with separator") << std::string("data/backups/");
        QTest::newRow("through a link") << std::string("backups-link");
    }
    void destinationArchivesAreNeverTaken() {
        QFETCH(std::string, destinationSpelling);
        Tree tree;
        for (const char* name :
             {"Quoralis.zip", "Quoralis_Docs.zip", "Quoralis_Docs_07_12_2026_12_00_01.zip",
              "Quoralis_Old.ZIP", ".Quoralis.zip.tmp-a1b2c3", ".Quoralis_Docs.zip.tmp-00ff00"})
            tree.file(std::string("data/backups/") + name, 10);
        for (const char* name : {"notes.zip", "QuoralisNotes.zip", "Quoralis_plan.txt", "sub/Quoralis.zip"})
            tree.file(std::string("data/backups/") + name, 1);
        tree.file("data/Quoralis.zip", 1); // not in the destination folder
        fs::create_directory_symlink(tree.at("data/backups"), tree.at("backups-link"));
        WalkOptions options;
        options.includeHidden = true;
        options.destination = tree.root().native() + "/" + destinationSpelling;
        const Collected got = collect({tree.at("data")}, options);
        QCOMPARE(tree.relative(got.files), (Names{"data/Quoralis.zip", "data/backups/QuoralisNotes.zip",
                                                  "data/backups/Quoralis_plan.txt", "data/backups/notes.zip",
                                                  "data/backups/sub/Quoralis.zip"}));
        QCOMPARE(got.found.bytes, 5u);
    }

    void destinationListedItselfGivesNoArchives() {
        Tree tree;
        tree.file("backups/Quoralis.zip", 10);
        tree.file("backups/keep.txt", 1);
        WalkOptions options;
        options.destination = tree.at("backups");
        QCOMPARE(tree.relative(collect({tree.at("backups")}, options).files), Names{"backups/keep.txt"});
    }

    void foldersThatCannotBeReadAreNamed() {
        Tree tree;
        tree.file("top/open/a", 2);
        tree.file("top/closed/b", 20);
        tree.file("top/unsearchable/c", 200);
        tree.file("top/d", 2000);
        for (const char* folder : {"", "top", "top/open"})
            QCOMPARE(::chmod((tree.root() / folder).c_str(), 0755), 0);
        QCOMPARE(::chmod(tree.at("top/closed").c_str(), 0), 0);
        QCOMPARE(::chmod(tree.at("top/unsearchable").c_str(), 0444), 0); // listed, but no entry opens
        Collected got;
        {
            UnprivilegedScope unprivileged;
            QVERIFY(unprivileged.isActive());
            got = collect({tree.at("top"), tree.at("gone")}); // a folder that is gone is no failure
        }
        QCOMPARE(got.found.bytes, 2002u);
        QCOMPARE(got.found.unreadableFolders,
                 (std::vector<fs::path>{tree.at("top/closed"), tree.at("top/unsearchable")}));
        fs::permissions(tree.at("top/closed"), fs::perms::owner_all);
        fs::permissions(tree.at("top/unsearchable"), fs::perms::owner_all);
    }
};

QTEST_GUILESS_MAIN(WalkIdentityTest)
#include "tst_walkidentity.moc"
