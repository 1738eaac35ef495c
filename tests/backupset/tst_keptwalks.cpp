// The counts at start-up keep the files they found for the backup that follows at once; the
// backup takes them only while a walk now would find the same.
#include "backupset/busystate.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "scriptedprompts.h"
#include "tree.h"

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {
class NoBusy : public BusyState {
public:
    void StartWait() override {}
    void StopWait() override {}
};

struct Folders {
    Tree tree;
    SettingsModel settings;
    ScriptedPrompts prompts;
    ActivityLog log;
    EventMarker marker;
    NoBusy busy;
    FolderSet set{settings, prompts, log, marker, busy};

    // Lists the folders once they are older than a tick of the file system's clock: a folder
    // changed just before it is listed is always walked again.
    void list(const std::vector<std::string>& folders) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& folder : folders)
            set.listFolder(tree.at(folder));
    }
    std::set<std::string> collect(const std::string& folder) {
        PathList files;
        set.CollectFolderFiles(tree.at(folder), files);
        return relative(files);
    }
    std::set<std::string> collectAll() {
        PathList files;
        set.CollectFolderFiles(settings.folders(), files);
        return relative(files);
    }
    std::multiset<std::string> collectAllCounted() {
        PathList files;
        set.CollectFolderFiles(settings.folders(), files);
        std::multiset<std::string> names;
        for (std::size_t i = 0; i < files.size(); ++i)
            names.insert(files.path(i).lexically_relative(tree.root()).native());
        return names;
    }
    std::set<std::string> relative(const PathList& files) const {
        std::set<std::string> names;
        for (std::size_t i = 0; i < files.size(); ++i)
            names.insert(files.path(i).lexically_relative(tree.root()).native());
        return names;
    }
};
} // namespace

class TestKeptWalks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void backupTakesWhatTheCountFound() {
        Folders f;
        f.tree.file("a/one.txt", 3);
        f.tree.file("a/sub/two.txt", 4);
        f.list({"a"});
        f.set.countUncounted(true);
        // Emptied after the count, in place: no folder tells, so the kept list still holds it,
        // where a walk now would leave the empty file out.
        fs::resize_file(f.tree.at("a/sub/two.txt"), 0);
        QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt", "a/sub/two.txt"}));
        // Given out once: the next backup walks again.
        QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt"}));
    }

    void changesInTheFoldersAreWalkedAgain() {
        {
            Folders f;
            f.tree.file("a/one.txt", 3);
            f.tree.file("a/sub/two.txt", 4);
            f.list({"a"});
            f.set.countUncounted(true);
            f.tree.file("a/sub/new.txt", 5);
            QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt", "a/sub/new.txt", "a/sub/two.txt"}));
        }
        {
            Folders f;
            f.tree.file("a/one.txt", 3);
            f.tree.file("a/sub/deep/two.txt", 4);
            f.list({"a"});
            f.set.countUncounted(true);
            fs::rename(f.tree.at("a/sub/deep"), f.tree.at("a/sub/moved"));
            QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt", "a/sub/moved/two.txt"}));
        }
        {
            Folders f;
            f.tree.file("a/one.txt", 3);
            f.tree.file("a/two.txt", 4);
            f.list({"a"});
            f.set.countUncounted(true);
            fs::remove(f.tree.at("a/two.txt"));
            QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt"}));
        }
    }

    void otherSettingsWalkAgain() {
        Folders f;
        f.tree.file("a/one.txt", 3);
        f.tree.file("a/two.tmp", 4);
        f.list({"a"});
        f.set.countUncounted(true);
        f.settings.setExcludedTypes({QStringLiteral(".tmp")});
        QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt"}));
    }

    void foldersChangedJustBeforeTheCountAreWalkedAgain() {
        Folders f;
        f.list({});
        f.tree.file("a/one.txt", 3);
        f.tree.file("a/two.txt", 4);
        f.set.listFolder(f.tree.at("a"));
        f.set.countUncounted(true);
        fs::resize_file(f.tree.at("a/two.txt"), 0);
        QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt"}));
    }

    void countsWithoutABackupKeepNothing() {
        Folders f;
        f.tree.file("a/one.txt", 3);
        f.tree.file("a/two.txt", 4);
        f.list({"a"});
        f.set.countUncounted();
        fs::resize_file(f.tree.at("a/two.txt"), 0);
        QCOMPARE(f.collect("a"), (std::set<std::string>{"a/one.txt"}));
    }

    void oneArchiveOfSeveralFolders() {
        {
            Folders f;
            f.tree.file("a/one.txt", 3);
            f.tree.file("b/two.txt", 4);
            f.list({"a", "b"});
            f.set.countUncounted(true);
            fs::resize_file(f.tree.at("b/two.txt"), 0);
            QCOMPARE(f.collectAll(), (std::set<std::string>{"a/one.txt", "b/two.txt"}));
        }
        {
            // Folders inside one another: one walk of both takes each file once, so the counts'
            // separate walks are not joined.
            Folders f;
            f.tree.file("a/one.txt", 3);
            f.tree.file("a/in/two.txt", 4);
            f.list({"a", "a/in"});
            f.set.countUncounted(true);
            QCOMPARE(f.collectAllCounted(), (std::multiset<std::string>{"a/in/two.txt", "a/one.txt"}));
        }
        {
            // A folder added to the list after the counts: its walk is made, the others' too.
            Folders f;
            f.tree.file("a/one.txt", 3);
            f.tree.file("b/two.txt", 4);
            f.list({"a"});
            f.set.countUncounted(true);
            f.list({"b"});
            fs::resize_file(f.tree.at("a/one.txt"), 0);
            QCOMPARE(f.collectAll(), (std::set<std::string>{"b/two.txt"}));
        }
    }
};

QTEST_GUILESS_MAIN(TestKeptWalks)
#include "tst_keptwalks.moc"
