// Times restoring a whole backup against Info-ZIP's unzip on the same archive, and reading the
// list of an archive of 100,000 entries (catalog, folder tree, a search) against unzip's listing.
//
//   restorebench [--megabytes N] [--entries N] [--work DIR]
#include "benchtree.h"
#include "engine/archivecomponent.h"
#include "restore/archivecontents.h"
#include "restore/archivesearch.h"
#include "restore/backupcatalog.h"
#include "restore/restorejob.h"

#include <QCoreApplication>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double megabytes(std::uintmax_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The engine's archive of a folder's files, made once and kept between runs.
fs::path archiveOf(const fs::path& tree, const fs::path& archive) {
    if (fs::exists(archive))
        return archive;
    fs::create_directories(archive.parent_path());
    ArchiveComponent zip;
    zip.DLLDirectory = QStringLiteral(QUORALIS_ENGINE_DIR);
    zip.FileSpecList = PathList(BenchTree::listFiles(tree));
    zip.AddOptions = ArchiveComponent::AddDirNames;
    zip.AddCompLevel = 9;
    zip.ZipFileName = archive;
    if (zip.AddFiles() != 0) {
        std::fprintf(stderr, "the engine failed: %s\n", qPrintable(zip.ErrorText()));
        std::exit(1);
    }
    return archive;
}

// Reads the whole archive once so that both readers start with it in the page cache.
void warmUp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())))
        ;
}

double restoreOurs(const fs::path& archive, const fs::path& target, RestoreReport& report) {
    fs::remove_all(target);
    const auto start = Clock::now();
    ArchiveContents contents;
    if (!contents.open(archive))
        return -1;
    RestoreRequest request;
    request.originalPlace = false;
    request.folder = target;
    request.addNode(contents, ArchiveContents::Root);
    std::atomic<bool> cancel{false};
    report = RestoreJob(std::move(request), {}, cancel).run();
    ::sync();
    return secondsSince(start);
}

double restoreUnzip(const fs::path& archive, const fs::path& target) {
    fs::remove_all(target);
    const auto start = Clock::now();
    const int rc = QProcess::execute(QStringLiteral("unzip"),
                                     {QStringLiteral("-q"), QStringLiteral("-o"),
                                      QString::fromStdString(archive.native()), QStringLiteral("-d"),
                                      QString::fromStdString(target.native())});
    ::sync();
    return rc == 0 ? secondsSince(start) : -1;
}

void benchRestore(const fs::path& work, std::size_t megabytesWanted) {
    const fs::path tree = work / ("mixed-" + std::to_string(megabytesWanted));
    const std::size_t count = BenchTree::makeMixed(tree, megabytesWanted);
    const fs::path archive =
        archiveOf(tree, work / "archives" / ("Quoralis_mixed_" + std::to_string(megabytesWanted) + ".zip"));
    std::uintmax_t input = 0;
    for (const fs::path& f : BenchTree::listFiles(tree))
        input += fs::file_size(f);
    warmUp(archive);
    // Each twice, in turns; the better time of each counts.
    RestoreReport report;
    double ours = 1e9;
    double theirs = 1e9;
    for (int round = 0; round < 2; ++round) {
        ours = std::min(ours, restoreOurs(archive, work / "restored-ours", report));
        theirs = std::min(theirs, restoreUnzip(archive, work / "restored-unzip"));
    }
    std::printf("\nRestoring a backup of %zu files, %.1f MB (archive %.1f MB)\n", count, megabytes(input),
                megabytes(fs::file_size(archive)));
    std::printf("  ours:            %8.3f s  %7.1f MB/s  (%llu files restored, %zu problems)\n", ours,
                megabytes(input) / ours, static_cast<unsigned long long>(report.restoredFiles),
                report.problems.size());
    std::printf("  unzip -q -o -d:  %8.3f s  %7.1f MB/s\n", theirs, megabytes(input) / theirs);
    std::printf("  ours take %.2f of unzip's time (%.2f x its speed)\n", ours / theirs, theirs / ours);
    fs::remove_all(work / "restored-ours");
    fs::remove_all(work / "restored-unzip");
}

void benchListing(const fs::path& work, std::size_t entries) {
    const fs::path tree = work / ("small-" + std::to_string(entries));
    if (!fs::exists(tree))
        BenchTree::makeSmallFiles(tree, entries);
    const fs::path destination = work / ("destination-" + std::to_string(entries));
    const fs::path archive = archiveOf(tree, destination / "Quoralis.zip");
    warmUp(archive);

    auto start = Clock::now();
    const std::vector<BackupArchive> catalog = BackupCatalog::scan(destination);
    const double catalogSeconds = secondsSince(start);
    start = Clock::now();
    ArchiveContents contents;
    contents.open(archive);
    const double openSeconds = secondsSince(start);
    start = Clock::now();
    const auto hits = ArchiveSearch::find({{&contents, 0}}, "42");
    const double searchSeconds = secondsSince(start);

    start = Clock::now();
    QProcess unzip;
    unzip.setStandardOutputFile(QProcess::nullDevice());
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), QString::fromStdString(archive.native())});
    unzip.waitForFinished(-1);
    const double unzipSeconds = secondsSince(start);

    std::printf("\nListing an archive of %zu entries (%.1f MB)\n", contents.count(),
                megabytes(fs::file_size(archive)));
    std::printf("  ours, list of the destination (%zu archive, %llu files): %8.3f s\n", catalog.size(),
                static_cast<unsigned long long>(catalog.empty() ? 0 : catalog.front().files), catalogSeconds);
    std::printf("  ours, archive opened as a folder tree:          %8.3f s\n", openSeconds);
    std::printf("  ours, search \"42\" (%zu hits):                  %8.3f s\n", hits.size(), searchSeconds);
    std::printf("  unzip -Z1 (names only):                         %8.3f s\n", unzipSeconds);
    std::printf("  opening takes %.2f of unzip's listing time\n", openSeconds / unzipSeconds);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::size_t megabytesWanted = 300;
    std::size_t entries = 100000;
    fs::path work = "/tmp/quoralis-restorebench";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--megabytes")
            megabytesWanted = std::stoul(argv[i + 1]);
        else if (option == "--entries")
            entries = std::stoul(argv[i + 1]);
        else if (option == "--work")
            work = argv[i + 1];
    }
    fs::create_directories(work);
    benchListing(work, entries);
    benchRestore(work, megabytesWanted);
    return 0;
}
