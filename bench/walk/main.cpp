// Times the folder list's count of a large tree (the real handler: worker thread, local event
// loop, busy state) against "du -sb" on the same tree, and measures how long the GUI thread's
// event loop goes without running a timer while the count is on.
#include "backupset/busystate.h"
#include "backupset/folderset.h"
#include "backupset/formatsize.h"
#include "benchtree.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
class NoPrompts : public UserPrompts {
public:
    bool ask(const QString&) override { return true; }
    void notify(const QString&) override {}
    std::optional<std::filesystem::path> pickFolder(const QString&, const QString&,
                                                    const std::filesystem::path&) override {
        return std::nullopt;
    }
};

class IdleBusy : public BusyState {
public:
    void StartWait() override {}
    void StopWait() override {}
};

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs "du -sb <tree>" and returns its wall time; its figure goes to `output`.
double timeDu(const std::filesystem::path& tree, std::string& output) {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string target = tree.native();
    char du[] = "du";
    char sb[] = "-sb";
    char* argv[] = {du, sb, target.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "du", &actions, nullptr, argv, environ);
    close(out[1]);
    output.clear();
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, std::size_t(n));
    int status = 0;
    if (spawned == 0)
        waitpid(pid, &status, 0);
    const double elapsed = seconds(start);
    close(out[0]);
    posix_spawn_file_actions_destroy(&actions);
    return elapsed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

    std::printf("preparing the tree (once, kept in /tmp/quoralis-walk-bench)...\n");
    std::fflush(stdout);
    const auto tree = BenchTree::ensure("/tmp/quoralis-walk-bench");

    SettingsModel settings;
    NoPrompts prompts;
    ActivityLog log;
    EventMarker marker;
    IdleBusy busy;
    FolderSet set(settings, prompts, log, marker, busy);

    // The GUI thread's longest gap between two ticks of a 5 ms timer while a count runs.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    bool counting = false;
    QTimer ticker;
    ticker.setInterval(5);
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (counting)
            longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    ticker.start();

    std::string duOutput;
    timeDu(tree, duOutput); // warm the caches for both
    qint64 bytes = set.CountFolder(tree);
    const quint64 filesBefore = set.fileCounter();

    std::vector<double> ours, theirs, collecting;
    for (int round = 0; round < rounds; ++round) {
        theirs.push_back(timeDu(tree, duOutput));
        sinceTick.restart();
        counting = true;
        const auto start = std::chrono::steady_clock::now();
        bytes = set.CountFolder(tree);
        ours.push_back(seconds(start));
        counting = false;
        PathList files;
        const auto collectStart = std::chrono::steady_clock::now();
        set.CollectFolderFiles(tree, files);
        collecting.push_back(seconds(collectStart));
    }
    const quint64 files = (set.fileCounter() - filesBefore) / quint64(rounds);

    const double us = median(ours), du = median(theirs);
    std::printf("tree: %s\n", tree.c_str());
    std::printf("CountFolder: %llu files, %lld bytes (%s)\n", static_cast<unsigned long long>(files),
                static_cast<long long>(bytes), FormatSize(bytes).toUtf8().constData());
    std::printf("du -sb:      %s", duOutput.c_str());
    std::printf("median of %d warm runs: CountFolder %.1f ms, du -sb %.1f ms, ratio %.2f (target <= 1.30)\n",
                rounds, us * 1000, du * 1000, us / du);
    std::printf("CollectFolderFiles (same walk, collecting): %.1f ms\n", median(collecting) * 1000);
    std::printf("longest GUI event-loop gap during the counts: %lld ms (timer every 5 ms, target <= 50)\n",
                static_cast<long long>(longestGap));
    return 0;
}
