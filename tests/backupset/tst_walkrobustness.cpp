#include "backupset/folderwalker.h"
#include "backupset/formatsize.h"
#include "tree.h"

#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
WalkResult count(const std::filesystem::path& folder) {
    WalkResult result;
    FolderWalker(WalkOptions{}).WalkFolder(folder, FolderWalker::Mode::Counting, result);
    return result;
}

std::vector<std::filesystem::path> collect(const std::filesystem::path& folder) {
    WalkResult result;
    PathList list;
    FolderWalker(WalkOptions{}).WalkFolder(folder, FolderWalker::Mode::Collecting, result, &list);
    std::vector<std::filesystem::path> files;
    for (const auto& file : list)
        files.push_back(file);
    return files;
}

std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

// Trees that break naive walks: links, odd names, long paths, big files, folders that go away
// or cannot be read. None may crash, loop, or silently lose files.
class WalkRobustnessTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void linkCycleIsEnteredOnce() {
        Tree tree;
        tree.file("A/f", 5);
        Tree outside;
        outside.file("g", 7);
        std::filesystem::create_directory_symlink(tree.root(), tree.at("A/back-to-top"));
        std::filesystem::create_directory_symlink(tree.at("A"), tree.at("B"));
        std::filesystem::create_directory_symlink(outside.root(), tree.at("elsewhere"));
        std::filesystem::create_symlink(tree.at("missing"), tree.at("dangling"));
        const WalkResult result = count(tree.root());
        QCOMPARE(result.bytes, 12u); // f once, g through the link that leads out of the tree
        QCOMPARE(result.files, 2u);
        // A dangling link is nothing to back up, no folder that could not be read.
        QVERIFY(result.unreadableFolders.empty());
        QCOMPARE(collect(tree.root()).size(), 2u);
    }

    void linksIntoKernelFileSystemsAreNotEntered() {
        if (!std::filesystem::exists("/proc/self") || !std::filesystem::exists("/sys/kernel"))
            QSKIP("no /proc or /sys here");
        Tree tree;
        tree.file("A/f", 5);
        std::filesystem::create_directory_symlink("/proc", tree.at("A/proc"));
        std::filesystem::create_directory_symlink("/sys", tree.at("A/sys"));
        const WalkResult result = count(tree.root());
        QCOMPARE(result.files, 1u);
        QCOMPARE(result.bytes, 5u);
    }

    void oddNamesAreCollectedAndOpenAgain_data() {
        QTest::addColumn<std::string>("relative");
        QTest::newRow("not UTF-8") << std::string("caf\xe9.txt");
        QTest::newRow("not UTF-8 folder") << std::string("d\xff\xfe/inner");
        QTest::newRow("newline") << std::string("line\nbreak.txt");
        QTest::newRow("backslash") << std::string("back\\slash\\dir/x\\y.txt");
    }
    void oddNamesAreCollectedAndOpenAgain() {
        QFETCH(std::string, relative);
        Tree tree;
        const auto path = tree.file(relative, 0);
        std::ofstream(path, std::ios::binary) << "hello";
        const auto files = collect(tree.root());
        QCOMPARE(files.size(), 1u);
        QCOMPARE(files.front().native(), path.native());
        QCOMPARE(contentOf(files.front()), std::string("hello"));
        QCOMPARE(count(tree.root()).bytes, 5u);
    }

    void pathOf4000Characters() {
        Tree tree;
        std::string relative;
        while (tree.root().native().size() + relative.size() < 3800)
            relative += std::string(199, 'n') + "/";
        relative += std::string(4000 - tree.root().native().size() - relative.size() - 1, 'f');
        const auto path = tree.file(relative, 3);
        QCOMPARE(path.native().size(), 4000u);
        const auto files = collect(tree.root());
        QCOMPARE(files.size(), 1u);
        QCOMPARE(contentOf(files.front()), std::string("xxx"));
    }

    void deepChainWithFewDescriptors() {
        Tree tree;
        std::string relative;
        for (int level = 0; level < 150; ++level) {
            relative += "d/";
            tree.file(relative + "f", 1);
        }
        rlimit saved;
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        low.rlim_cur = 40;
        setrlimit(RLIMIT_NOFILE, &low);
        const WalkResult result = count(tree.root());
        setrlimit(RLIMIT_NOFILE, &saved);
        QCOMPARE(result.files, 150u);
    }

    void filesOf4GiBAndMoreCountFully() {
        Tree tree;
        const auto big = tree.file("big", 0);
        const std::uint64_t size = 4294967296ULL + 1;
        QCOMPARE(::truncate(big.c_str(), off_t(size)), 0);
        tree.file("small", 10);
        QCOMPARE(count(tree.root()).bytes, size + 10);
        QCOMPARE(FormatSize(4294967296LL, QLocale::c()), QStringLiteral("4.00 Gb"));
    }

    void vanishedFolderCountsNothing() {
        Tree tree;
        const auto gone = tree.file("gone/f", 9).parent_path();
        std::filesystem::remove_all(gone);
        const WalkResult result = count(gone);
        QCOMPARE(result.bytes, 0u);
        QCOMPARE(result.files, 0u);
        QVERIFY(collect(gone).empty());
    }

    // Root reads every folder, so the walk runs in a child that has dropped to "nobody".
    void unreadableSubfolderCountsNothing() {
        Tree tree;
        tree.file("open/a", 2);
        tree.file("closed/b", 20);
        tree.file("c", 200);
        QCOMPARE(::chmod(tree.root().c_str(), 0755), 0);
        QCOMPARE(::chmod(tree.at("open").c_str(), 0755), 0);
        QCOMPARE(::chmod(tree.at("closed").c_str(), 0), 0);
        if (geteuid() != 0) {
            QCOMPARE(count(tree.root()).bytes, 202u);
            return;
        }
        int pipeFds[2];
        QCOMPARE(pipe(pipeFds), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            close(pipeFds[0]);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            const std::uint64_t bytes = count(tree.root()).bytes;
            _exit(write(pipeFds[1], &bytes, sizeof bytes) == sizeof bytes ? 0 : 3);
        }
        close(pipeFds[1]);
        std::uint64_t bytes = 0;
        const auto got = read(pipeFds[0], &bytes, sizeof bytes);
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(got, ssize_t(sizeof bytes));
        QCOMPARE(bytes, 202u);
    }

    void stopEndsTheWalk() {
        Tree tree;
        tree.file("a/b/c", 1);
        FolderWalker walker{WalkOptions{}};
        walker.requestStop();
        WalkResult result;
        walker.WalkFolder(tree.root(), FolderWalker::Mode::Counting, result);
        QCOMPARE(result.files, 0u);
    }
};

QTEST_GUILESS_MAIN(WalkRobustnessTest)
#include "tst_walkrobustness.moc"
