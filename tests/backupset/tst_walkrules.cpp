#include "backupset/folderwalker.h"
#include "platform/fileattributes.h"
#include "tree.h"

#include <QTest>

#include <cstdlib>
#include <sys/stat.h>

using Names = std::set<std::string>;
Q_DECLARE_METATYPE(Names)

namespace {
WalkResult count(const std::filesystem::path& folder, const WalkOptions& options = {}) {
    WalkResult result;
    FolderWalker(options).WalkFolder(folder, FolderWalker::Mode::Counting, result);
    return result;
}

std::vector<std::filesystem::path> collect(const std::filesystem::path& folder,
                                           const WalkOptions& options = {}) {
    WalkResult result;
    PathList list;
    FolderWalker(options).WalkFolder(folder, FolderWalker::Mode::Collecting, result, &list);
    std::vector<std::filesystem::path> files;
    for (const auto& file : list)
        files.push_back(file);
    return files;
}
} // namespace

// Which files a walk takes: the same rules decide the counts shown and the files backed up.
class WalkRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyFilesAreNeverTaken() {
        Tree tree;
        tree.file("empty.txt", 0);
        tree.file("only-empty/a", 0);
        tree.file("only-empty/b", 0);
        tree.file("one.txt", 7);
        const WalkResult result = count(tree.root());
        QCOMPARE(result.bytes, 7u);
        QCOMPARE(result.files, 1u);
        QCOMPARE(tree.relative(collect(tree.root())), Names{"one.txt"});
    }

    void hiddenFilesAndDotFolders_data() {
        QTest::addColumn<bool>("includeHidden");
        QTest::addColumn<Names>("taken");
        // A dot-folder is hidden: entered exactly when hidden files are taken.
        QTest::newRow("hidden left out") << false << Names{"sub/visible", "visible"};
        QTest::newRow("hidden taken")
            << true << Names{".cache/visible", ".hidden",     "sub/.git/objects/visible",
                             "sub/.hidden",    "sub/visible", "visible"};
    }
    void hiddenFilesAndDotFolders() {
        QFETCH(bool, includeHidden);
        QFETCH(Names, taken);
        Tree tree;
        for (const char* name : {"visible", ".hidden", "sub/visible", "sub/.hidden", ".cache/visible",
                                 "sub/.git/objects/visible"})
            tree.file(name, 3);
        WalkOptions options;
        options.includeHidden = includeHidden;
        QCOMPARE(tree.relative(collect(tree.root(), options)), taken);
        QCOMPARE(count(tree.root(), options).files, taken.size());
    }

    void excludedTypes_data() {
        QTest::addColumn<std::string>("type");
        QTest::addColumn<std::string>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("upper-case file") << std::string(".tmp") << std::string("report.TMP") << false;
        QTest::newRow("upper-case entry") << std::string(".TMP") << std::string("report.tmp") << false;
        QTest::newRow("last dot decides") << std::string(".tmp") << std::string("report.tmp.bak") << true;
        QTest::newRow("no dot in name") << std::string(".tmp") << std::string("tmp") << true;
        QTest::newRow("entry without dot") << std::string("tmp") << std::string("a.tmp") << true;
        QTest::newRow("whole extension") << std::string(".tm") << std::string("a.tmp") << true;
        QTest::newRow("empty entry") << std::string("") << std::string("README") << true;
        QTest::newRow("unicode case") << std::string(".ÄB") << std::string("x.äb") << false;
        QTest::newRow("hidden name is its extension")
            << std::string(".profile") << std::string(".profile") << false;
    }
    void excludedTypes() {
        QFETCH(std::string, type);
        QFETCH(std::string, name);
        QFETCH(bool, taken);
        Tree tree;
        tree.file(name, 5);
        WalkOptions options;
        options.includeHidden = true;
        options.excludedTypes = {type};
        QCOMPARE(count(tree.root(), options).files, taken ? 1u : 0u);
    }

    void folderWithExcludedExtensionIsEntered() {
        Tree tree;
        tree.file("cache.tmp/inside.txt", 4);
        WalkOptions options;
        options.excludedTypes = {".tmp"};
        QCOMPARE(count(tree.root(), options).bytes, 4u);
    }

    void excludedFolders_data() {
        QTest::addColumn<std::string>("excluded");
        QTest::addColumn<std::uint64_t>("bytes");
        QTest::newRow("none") << std::string() << std::uint64_t(1111);
        QTest::newRow("whole path") << std::string("Work/Temp") << std::uint64_t(101);
        // Linux folders differ by case: Work/TEMP would be another folder.
        QTest::newRow("other case is another folder") << std::string("WORK/TEMP") << std::uint64_t(1111);
        QTest::newRow("trailing separator never matches") << std::string("Work/Temp/") << std::uint64_t(1111);
        QTest::newRow("no prefix match") << std::string("Work/Tem") << std::uint64_t(1111);
        QTest::newRow("deeper folder") << std::string("Work/Temp/Sub") << std::uint64_t(111);
        QTest::newRow("top folder never tested") << std::string("Work") << std::uint64_t(1111);
    }
    void excludedFolders() {
        QFETCH(std::string, excluded);
        QFETCH(std::uint64_t, bytes);
        Tree tree;
        tree.file("Work/a", 1);
        tree.file("Work/Temp/b", 10);
        tree.file("Work/Temporary/c", 100);
        tree.file("Work/Temp/Sub/d", 1000);
        WalkOptions options;
        if (!excluded.empty())
            options.excludedFolders = {tree.root().native() + "/" + excluded};
        QCOMPARE(count(tree.at("Work"), options).bytes, bytes);
        // The folder given with a trailing separator is walked alike.
        QCOMPARE(count(tree.root().native() + "/Work/", options).bytes, bytes);
    }

    void excludedFolderSparesItsNamesakeOfOtherCase() {
        Tree tree;
        tree.file("src/Cache/a", 1);
        tree.file("src/cache/b", 10);
        WalkOptions options;
        options.excludedFolders = {tree.root().native() + "/src/Cache"};
        QCOMPARE(count(tree.at("src"), options).bytes, 10u);
    }

    void changedOnlyFollowsTheArchiveAttribute() {
        Tree tree;
        tree.file("changed", 10);
        const auto archived = tree.file("archived", 100);
        struct stat st;
        QCOMPARE(::stat(archived.c_str(), &st), 0);
        const std::int64_t mtime = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        const platform::ArchiveMark mark{"00000000000000aa", 1};
        const std::int64_t ctime = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        if (!platform::FileAttributes::clearArchiveAttribute(archived, std::uint64_t(st.st_size), mtime,
                                                             ctime + 1000000000, mark))
            QSKIP("this file system keeps no extended attributes");

        WalkOptions options;
        options.mark = mark;
        QCOMPARE(count(tree.root(), options).bytes, 110u);
        options.newOnly = true;
        QCOMPARE(count(tree.root(), options).bytes, 10u);
        QCOMPARE(tree.relative(collect(tree.root(), options)), Names{"changed"});

        // A copy made with its attributes carries the mark but is another file.
        const std::string copy = "cp -a '" + archived.native() + "' '" + tree.at("copy").native() + "'";
        QCOMPARE(std::system(copy.c_str()), 0);
        QCOMPARE(tree.relative(collect(tree.root(), options)), (Names{"changed", "copy"}));

        std::ofstream(archived, std::ios::app) << 'y'; // changed after it was archived
        QCOMPARE(count(tree.root(), options).bytes, 211u);
    }
};

QTEST_GUILESS_MAIN(WalkRulesTest)
#include "tst_walkrules.moc"
