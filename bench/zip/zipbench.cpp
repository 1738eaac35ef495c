// Times full and update archive jobs through the archive component against Info-ZIP on the same
// generated tree, and the peak memory of a job over a very long list of small files.
//
//   zipbench [--megabytes N] [--small-files N] [--level N] [--work DIR] [--skip-speed] [--skip-memory]
//            [--update-rounds N] [--changed-only-rounds N]
//
// The speed part also times a run that changes nothing with the weekly check of the kept entries
// due and not due, against `unzip -t` of the same archive, and against reading every entry back
// with inflating (what catching a forged stored-bytes CRC field would cost on each check).
//
// --update-rounds N times only the 1 %-changed update, N times in turn with Info-ZIP's, on the
// archives an earlier run left in DIR/out, and prints each pair and the median ratio. An archive
// whose entries do not yet carry the CRC of their stored bytes (made by an older build) has every
// kept entry inflated in its first update, which gives them the field: that round is slower.
//
// --changed-only-rounds N does the same with "changed files only": every file carries its mark
// for our archive, our update reads the marks and marks the files it took, and prints what the
// marks alone cost (reading every file's mark, writing those of the changed files). With
// --small-files, on a tree of that many small files instead of the mixed one.
#include "archivereader.h"
#include "archiveverifier.h"
#include "backupset/folderwalker.h"
#include "benchtree.h"
#include "engine/archivecomponent.h"
#include "platform/fileattributes.h"

#include <QCoreApplication>
#include <QProcess>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double megabytes(std::uintmax_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

long statusKilobytes(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    }
    return -1;
}

void warmUp(const std::vector<fs::path>& files) {
    std::vector<char> buffer(1 << 20);
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())))
            ;
    }
}

// The check a full job makes before its archive replaces the old one, timed on its own: every
// entry read back and inflated against its CRC, as the engine does it.
double verificationSeconds(const fs::path& archive) {
    const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    ArchiveReader reader;
    std::size_t count = 0;
    if (reader.openFd(::dup(fd)))
        count = reader.count();
    const std::vector<bool> all(count, true);
    const auto start = Clock::now();
    ArchiveVerifier verifier(fd, all, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    const bool sound = verifier.run({}) == ArchiveVerifier::Result::Sound;
    const double seconds = secondsSince(start);
    ::close(fd);
    return sound ? seconds : -1;
}

struct JobResult {
    int rc = -1;
    double seconds = 0;
    double cpuSeconds = 0; // user and system time of every thread (or child) that worked on it
    std::uintmax_t size = 0;
};

double cpuSeconds(int who) {
    struct rusage usage {};
    ::getrusage(who, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int g_level = 9;

JobResult runOurs(ArchiveComponent& zip, const std::vector<fs::path>& files, const fs::path& archive,
                  bool update, const QString& comment, ArchiveComponent::AddOpts extra = {}) {
    zip.FileSpecList = PathList(files);
    zip.ZipFileName = archive;
    zip.AddOptions = (update ? ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate
                             : ArchiveComponent::AddOpts(ArchiveComponent::AddDirNames)) |
                     extra;
    zip.AddCompLevel = g_level;
    zip.ArchiveComment = comment;
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    JobResult result;
    result.rc = zip.AddFiles();
    result.seconds = secondsSince(start);
    result.cpuSeconds = cpuSeconds(RUSAGE_SELF) - cpuStart;
    std::error_code ec;
    result.size = fs::file_size(archive, ec);
    return result;
}

// Info-ZIP on the same job: a new archive, or with `update` its -u on an existing one.
JobResult runInfoZip(const fs::path& tree, const fs::path& archive, bool update = false) {
    // Info-ZIP's -9 deflates everything, so the stored suffixes take a second pass with -0.
    QStringList patterns;
    for (const QString& suffix : ArchiveComponent::DefaultStoreSuffixes)
        patterns << QStringLiteral("*.") + suffix << QStringLiteral("*.") + suffix.toUpper();
    const QString treeArg = QString::fromStdString(tree.native());
    const QString archiveArg = QString::fromStdString(archive.native());
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds(RUSAGE_CHILDREN);
    JobResult result;
    const QStringList mode = update ? QStringList{"-u"} : QStringList{};
    result.rc =
        QProcess::execute(QStringLiteral("zip"), QStringList{"-9", "-r", "-q"} + mode +
                                                     QStringList{archiveArg, treeArg, "-x"} + patterns);
    if (result.rc == 0)
        result.rc =
            QProcess::execute(QStringLiteral("zip"), QStringList{"-0", "-r", "-q"} + mode +
                                                         QStringList{archiveArg, treeArg, "-i"} + patterns);
    // Info-ZIP says 12 ("nothing to do") when an update finds nothing to add.
    if (update && result.rc == 12)
        result.rc = 0;
    result.seconds = secondsSince(start);
    result.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuStart;
    std::error_code ec;
    result.size = fs::file_size(archive, ec);
    return result;
}

// Rewrites the first byte of every hundredth file (same size, a new time), as a day's work would.
std::size_t changeOnePercent(const std::vector<fs::path>& files) {
    std::size_t changed = 0;
    for (std::size_t i = 0; i < files.size(); i += 100) {
        std::fstream file(files[i], std::ios::in | std::ios::out | std::ios::binary);
        const char first = static_cast<char>(file.get());
        file.seekp(0);
        file.put(static_cast<char>(first ^ 0x20));
        file.close();
        // At least two seconds on from its last time, so that a tool comparing DOS times sees it
        // even when rounds follow each other within a second.
        const auto previous = fs::last_write_time(files[i]);
        fs::last_write_time(files[i], std::max(fs::file_time_type::clock::now() - std::chrono::seconds(5),
                                               previous + std::chrono::seconds(2)));
        ++changed;
    }
    return changed;
}

double unzipTestSeconds(const fs::path& archive) {
    const auto start = Clock::now();
    const int rc = QProcess::execute(QStringLiteral("unzip"),
                                     {QStringLiteral("-tqq"), QString::fromStdString(archive.native())});
    return rc == 0 ? secondsSince(start) : -1;
}

// A run in which nothing changed, with the kept entries' weekly check not due and due.
void keptCheck(ArchiveComponent& zip, const std::vector<fs::path>& files, const fs::path& archive,
               const QString& comment, const JobResult& full) {
    const auto before = fs::last_write_time(archive);
    const JobResult notDue = runOurs(zip, files, archive, true, comment);
    const JobResult due = runOurs(zip, files, archive, true, comment, ArchiveComponent::AddCheckKept);
    const double unzip = unzipTestSeconds(archive);
    const double inflateAll = verificationSeconds(archive);
    std::printf("  nothing changed, weekly check not due: %8.3f s = %.3f of the full job, %.3f of unzip -t\n",
                notDue.seconds, notDue.seconds / full.seconds, notDue.seconds / unzip);
    std::printf("  nothing changed, weekly check due:     %8.3f s = %.3f of the full job, %.3f of unzip -t "
                "(result %d, archive %s)\n",
                due.seconds, due.seconds / full.seconds, due.seconds / unzip, due.rc,
                fs::last_write_time(archive) == before ? "left as it was" : "REWRITTEN");
    std::printf("  unzip -t of the same archive:          %8.3f s = %.3f of the full job\n", unzip,
                unzip / full.seconds);
    std::printf("  the check inflating every entry (would catch a forged stored-bytes CRC): %.3f s = %.2f x "
                "the check as made\n",
                inflateAll, inflateAll / due.seconds);
}

void printJob(const char* who, const JobResult& r, std::uintmax_t input) {
    std::printf("  %-22s %8.2f s  %9.1f MB  %7.1f MB/s  %7.2f s of CPU  (result %d)\n", who, r.seconds,
                megabytes(r.size), megabytes(input) / r.seconds, r.cpuSeconds, r.rc);
}

int speed(const fs::path& work, std::size_t treeMegabytes) {
    const fs::path tree = work / "tree";
    const std::size_t count = BenchTree::makeMixed(tree, treeMegabytes);
    const std::vector<fs::path> files = BenchTree::listFiles(tree);
    std::uintmax_t input = 0;
    for (const auto& file : files)
        input += fs::file_size(file);
    warmUp(files);
    fs::create_directories(work / "out");
    const fs::path ours = work / "out" / "ours.zip";
    const fs::path theirs = work / "out" / "infozip.zip";
    fs::remove(ours);
    fs::remove(theirs);

    ArchiveComponent zip;
    zip.DLLDirectory = QStringLiteral(QUORALIS_ENGINE_DIR);
    const QString comment = QStringLiteral("Quoralis benchmark");
    const JobResult full = runOurs(zip, files, ours, false, comment);
    const JobResult info = runInfoZip(tree, theirs);
    const JobResult unchanged = runOurs(zip, files, ours, true, comment);
    const JobResult newComment = runOurs(zip, files, ours, true, QStringLiteral("Quoralis benchmark, again"));
    // The same 1 % of the files changed for both, then each updates its own archive.
    const std::size_t changed = changeOnePercent(files);
    const JobResult infoUpdate = runInfoZip(tree, theirs, true);
    const JobResult ourUpdate = runOurs(zip, files, ours, true, QStringLiteral("Quoralis benchmark, again"));
    const int test = zip.TestArchive(ours);
    const double verifySeconds = verificationSeconds(ours);

    std::printf("\nMixed tree: %zu files, %.1f MB (%s)\n", count, megabytes(input), tree.c_str());
    printJob(qPrintable(QStringLiteral("full job, level %1").arg(g_level)), full, input);
    printJob("Info-ZIP -9 / -0", info, input);
    std::printf("  throughput: %.2f x Info-ZIP's    archive size: %.4f of Info-ZIP's (%+.1f KB)\n",
                info.seconds / full.seconds, static_cast<double>(full.size) / static_cast<double>(info.size),
                (static_cast<double>(full.size) - static_cast<double>(info.size)) / 1024.0);
    std::printf("  update, nothing changed:      %8.3f s  = %.3f of the full job\n", unchanged.seconds,
                unchanged.seconds / full.seconds);
    std::printf("  update, only a new comment:   %8.3f s  = %.3f of the full job (every entry copied)\n",
                newComment.seconds, newComment.seconds / full.seconds);
    std::printf("  update, %zu files (1 %%) changed: ours %.3f s, Info-ZIP zip -u %.3f s, ratio %.2f "
                "(result %d / %d)\n",
                changed, ourUpdate.seconds, infoUpdate.seconds, ourUpdate.seconds / infoUpdate.seconds,
                ourUpdate.rc, infoUpdate.rc);
    std::printf("  reading back every entry before the archive is replaced: %.3f s = %.3f of the full job\n",
                verifySeconds, verifySeconds / full.seconds);
    std::printf("  our archive tested by the extract engine: %s\n", test == 0 ? "no errors" : "ERRORS");
    keptCheck(zip, files, ours, QStringLiteral("Quoralis benchmark, again"), full);
    return full.rc == 0 && info.rc == 0 && ourUpdate.rc == 0 && infoUpdate.rc == 0 && test == 0 ? 0 : 1;
}

int updateRounds(const fs::path& work, std::size_t treeMegabytes, int rounds) {
    const fs::path tree = work / "tree";
    const fs::path ours = work / "out" / "ours.zip";
    const fs::path theirs = work / "out" / "infozip.zip";
    if (!fs::exists(ours) || !fs::exists(theirs))
        return speed(work, treeMegabytes);
    const std::vector<fs::path> files = BenchTree::listFiles(tree);
    warmUp(files);
    ArchiveComponent zip;
    zip.DLLDirectory = QStringLiteral(QUORALIS_ENGINE_DIR);
    std::vector<double> ratios;
    int rc = 0;
    std::printf("\nUpdates with 1 %% of %zu files changed, ours against Info-ZIP zip -u:\n", files.size());
    for (int round = 0; round < rounds; ++round) {
        changeOnePercent(files);
        // Each goes first in every other round, so neither always finds the cache warmer.
        JobResult info;
        JobResult ourUpdate;
        if (round % 2 == 0) {
            info = runInfoZip(tree, theirs, true);
            ourUpdate = runOurs(zip, files, ours, true, QStringLiteral("Quoralis benchmark"));
        } else {
            ourUpdate = runOurs(zip, files, ours, true, QStringLiteral("Quoralis benchmark"));
            info = runInfoZip(tree, theirs, true);
        }
        ratios.push_back(ourUpdate.seconds / info.seconds);
        rc |= ourUpdate.rc | info.rc;
        std::printf("  round %d: ours %.3f s (%.2f s of CPU), Info-ZIP %.3f s (%.2f s of CPU), ratio %.2f\n",
                    round + 1, ourUpdate.seconds, ourUpdate.cpuSeconds, info.seconds, info.cpuSeconds,
                    ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    if (!ratios.empty())
        std::printf("  median ratio %.2f\n", ratios[ratios.size() / 2]);
    return rc == 0 && zip.TestArchive(ours) == 0 ? 0 : 1;
}

JobResult runChangedOnly(ArchiveComponent& zip, const std::vector<fs::path>& files, const fs::path& archive) {
    return runOurs(zip, files, archive, true, QStringLiteral("Quoralis benchmark"),
                   ArchiveComponent::AddResetArchive | ArchiveComponent::AddUnchangedKept);
}

int changedOnlyRounds(const fs::path& work, std::size_t treeMegabytes, std::size_t smallFiles, int rounds) {
    // The mixed tree of the speed run, or with --small-files a tree of that many small files.
    const bool small = smallFiles > 0;
    const fs::path tree = work / (small ? "small-tree" : "tree");
    const fs::path ours = work / "out" / (small ? "small-ours.zip" : "ours.zip");
    const fs::path theirs = work / "out" / (small ? "small-infozip.zip" : "infozip.zip");
    if (small && (!fs::exists(ours) || !fs::exists(theirs))) {
        fs::remove_all(tree);
        BenchTree::makeSmallFiles(tree, smallFiles);
        ArchiveComponent full;
        full.DLLDirectory = QStringLiteral(QUORALIS_ENGINE_DIR);
        runOurs(full, BenchTree::listFiles(tree), ours, false, QStringLiteral("Quoralis benchmark"));
        runInfoZip(tree, theirs);
    } else if (!fs::exists(ours) || !fs::exists(theirs)) {
        speed(work, treeMegabytes);
    }
    const std::vector<fs::path> files = BenchTree::listFiles(tree);
    warmUp(files);
    ArchiveComponent zip;
    zip.DLLDirectory = QStringLiteral(QUORALIS_ENGINE_DIR);
    zip.Mark = {"00000000000000be", platform::FileAttributes::nowNs() | 1};
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // past the warm-up's own touches
    const JobResult first = runChangedOnly(zip, files, ours);
    std::size_t marked = 0;
    auto start = Clock::now();
    for (const fs::path& file : files)
        marked += platform::FileAttributes::archiveState(file, zip.Mark) ==
                  platform::FileAttributes::ArchiveState::Unchanged;
    const double checkSeconds = secondsSince(start);
    std::printf("\nChanged files only into an archive updated in place, %zu files:\n", files.size());
    std::printf("  first run, every file marked:  %.3f s (result %d); %zu files carry a mark\n",
                first.seconds, first.rc, marked);
    std::printf("  reading every file's mark:     %.3f s = %.1f us a file\n", checkSeconds,
                checkSeconds * 1e6 / static_cast<double>(files.size()));
    std::vector<double> ratios;
    int rc = first.rc;
    for (int round = 0; round < rounds; ++round) {
        const std::size_t changed = changeOnePercent(files);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        JobResult info;
        JobResult ourUpdate;
        if (round % 2 == 0) {
            info = runInfoZip(tree, theirs, true);
            ourUpdate = runChangedOnly(zip, files, ours);
        } else {
            ourUpdate = runChangedOnly(zip, files, ours);
            info = runInfoZip(tree, theirs, true);
        }
        ratios.push_back(ourUpdate.seconds / info.seconds);
        rc |= ourUpdate.rc | info.rc;
        std::printf(
            "  round %d, %zu files changed: ours %.3f s (%.2f s of CPU, %zu written), Info-ZIP -u %.3f s, "
            "ratio %.2f\n",
            round + 1, changed, ourUpdate.seconds, ourUpdate.cpuSeconds, zip.WrittenCount(), info.seconds,
            ratios.back());
    }
    // The marks of 1 % of the files written once more, alone.
    std::vector<fs::path> onePercent;
    for (std::size_t i = 0; i < files.size(); i += 100)
        onePercent.push_back(files[i]);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::int64_t readFrom = platform::FileAttributes::nowNs();
    start = Clock::now();
    for (const fs::path& file : onePercent) {
        std::error_code ec;
        platform::FileAttributes::clearArchiveAttribute(
            file, fs::file_size(file, ec), platform::FileAttributes::toUnixNs(fs::last_write_time(file, ec)),
            readFrom, zip.Mark);
    }
    const double markSeconds = secondsSince(start);
    std::printf("  writing the marks of 1 %% (%zu files): %.3f s\n", onePercent.size(), markSeconds);
    std::sort(ratios.begin(), ratios.end());
    if (!ratios.empty())
        std::printf("  median ratio %.2f\n", ratios[ratios.size() / 2]);
    return rc == 0 && zip.TestArchive(ours) == 0 ? 0 : 1;
}

int memoryChild(const fs::path& folder, const fs::path& archive) {
    const auto start = Clock::now();
    ArchiveComponent zip;
    zip.DLLDirectory = QStringLiteral(QUORALIS_ENGINE_DIR);
    // The list is built as the program builds it: by the folder walk, straight into the list type.
    WalkOptions options;
    options.includeHidden = true;
    WalkResult found;
    FolderWalker(options).WalkFolder(folder, FolderWalker::Mode::Collecting, found, &zip.FileSpecList);
    const double listSeconds = secondsSince(start);
    const long listKb = statusKilobytes("VmRSS:");
    zip.ZipFileName = archive;
    zip.AddOptions = ArchiveComponent::AddDirNames;
    fs::remove(archive);
    const auto jobStart = Clock::now();
    const int rc = zip.AddFiles();
    std::printf("files %zu list_s %.1f list_rss_kb %ld job_s %.1f hwm_kb %ld rc %d\n",
                zip.FileSpecList.size(), listSeconds, listKb, secondsSince(jobStart),
                statusKilobytes("VmHWM:"), rc);
    return rc;
}

int memory(const fs::path& work, std::size_t count, const char* self) {
    const fs::path folder = work / ("small-" + std::to_string(count));
    const auto start = Clock::now();
    BenchTree::makeSmallFiles(folder, count);
    std::printf("\nSmall files ready in %.0f s\n", secondsSince(start));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromLocal8Bit(self),
                {QStringLiteral("--memory-child"), QString::fromStdString(folder.native()),
                 QString::fromStdString((work / "out" / "small.zip").native())});
    child.waitForFinished(-1);
    const QByteArray out = child.readAllStandardOutput().trimmed();
    const QList<QByteArray> f = out.split(' ');
    if (f.size() < 12) {
        std::printf("memory child failed: %s\n", out.constData());
        return 1;
    }
    std::printf("List of %s small files: list built in %s s holding %.1f MB; job %s s; peak memory (VmHWM) "
                "%.1f MB; result %s\n",
                f[1].constData(), f[3].constData(), f[5].toDouble() / 1024.0, f[7].constData(),
                f[9].toDouble() / 1024.0, f[11].constData());
    return f[11] == "0" ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--memory-child") == 0)
        return memoryChild(argv[2], argv[3]);
    fs::path work = "/tmp/quoralis-zipbench";
    std::size_t treeMegabytes = 300;
    std::size_t smallFiles = 1000000;
    bool runSpeed = true;
    bool runMemory = true;
    int rounds = 0;
    int changedOnly = 0;
    bool smallFilesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--megabytes" && i + 1 < argc)
            treeMegabytes = std::stoul(argv[++i]);
        else if (arg == "--small-files" && i + 1 < argc) {
            smallFiles = std::stoul(argv[++i]);
            smallFilesGiven = true;
        } else if (arg == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (arg == "--level" && i + 1 < argc)
            g_level = std::stoi(argv[++i]);
        else if (arg == "--update-rounds" && i + 1 < argc)
            rounds = std::stoi(argv[++i]);
        else if (arg == "--changed-only-rounds" && i + 1 < argc)
            changedOnly = std::stoi(argv[++i]);
        else if (arg == "--skip-speed")
            runSpeed = false;
        else if (arg == "--skip-memory")
            runMemory = false;
        else {
            std::fprintf(stderr,
                         "usage: zipbench [--megabytes N] [--small-files N] [--work DIR] "
                         "[--skip-speed] [--skip-memory] [--update-rounds N] [--changed-only-rounds N]\n");
            return 2;
        }
    }
    fs::create_directories(work / "out");
    int rc = 0;
    if (rounds > 0)
        return updateRounds(work, treeMegabytes, rounds);
    if (changedOnly > 0)
        return changedOnlyRounds(work, treeMegabytes, smallFilesGiven ? smallFiles : 0, changedOnly);
    if (runSpeed)
        rc |= speed(work, treeMegabytes);
    if (runMemory)
        rc |= memory(work, smallFiles, argv[0]);
    return rc;
}
