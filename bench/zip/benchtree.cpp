#include "benchtree.h"

#include "contentgenerator.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

const char* const MarkerName = ".bench-tree";

bool upToDate(const fs::path& folder, const std::string& description) {
    std::ifstream in(folder / MarkerName);
    const std::string found((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return found == description;
}

void writeFile(const fs::path& file, const std::string& content) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

struct Kind {
    const char* folder;
    double share;
    std::vector<const char*> suffixes;
    std::string (ContentGenerator::*make)(std::size_t);
};

} // namespace

std::size_t BenchTree::makeMixed(const fs::path& folder, std::size_t megabytes) {
    const std::string description = "mixed v1 " + std::to_string(megabytes) + "\n";
    if (upToDate(folder, description))
        return listFiles(folder).size();
    std::printf("Generating a mixed tree of %zu MB in %s ...\n", megabytes, folder.c_str());
    std::fflush(stdout);
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::vector<Kind> kinds = {
        {"docs", 0.25, {"txt", "md", "html", "TXT"}, &ContentGenerator::prose},
        {"src", 0.25, {"cpp", "h", "py", "java", "c"}, &ContentGenerator::sourceCode},
        {"bin", 0.25, {"so", "o", "exe", "dll", "bin"}, &ContentGenerator::binary},
        // Already compressed, with suffixes the engine stores as they are (some in upper case).
        {"archives",
         0.15,
         {"gz", "zip", "jar", "png", "gif", "tgz", "rar", "cab", "GZ", "PNG"},
         &ContentGenerator::compressed},
        // Incompressible data under suffixes that are deflated anyway.
        {"media", 0.10, {"jpg", "mp3", "mp4", "pdf"}, &ContentGenerator::noise},
    };
    ContentGenerator generator(2005);
    std::size_t files = 0;
    const std::size_t total = megabytes << 20;
    for (const Kind& kind : kinds) {
        const std::size_t budget = static_cast<std::size_t>(kind.share * static_cast<double>(total));
        std::size_t used = 0;
        for (std::size_t n = 0; used < budget; ++n) {
            // The first file of each kind is a large one; the rest spread from tiny to a few MB.
            std::size_t size = n == 0 ? budget / 5 : generator.logSize(200, 3 << 20);
            size = std::min(size, budget - used);
            const fs::path sub = folder / kind.folder / ("part" + std::to_string(n / 40));
            fs::create_directories(sub);
            const std::string name =
                "file" + std::to_string(n) + "." + kind.suffixes[n % kind.suffixes.size()];
            writeFile(sub / name, (generator.*kind.make)(std::max<std::size_t>(size, 1)));
            used += size;
            ++files;
        }
    }
    std::ofstream(folder / MarkerName) << description;
    return files;
}

void BenchTree::makeSmallFiles(const fs::path& folder, std::size_t count) {
    const std::string description = "small v1 " + std::to_string(count) + "\n";
    if (upToDate(folder, description))
        return;
    std::printf("Generating %zu small files in %s ...\n", count, folder.c_str());
    std::fflush(stdout);
    fs::remove_all(folder);
    ContentGenerator generator(1000000);
    char name[64];
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 1000 == 0) {
            std::snprintf(name, sizeof name, "d%05zu", i / 1000);
            fs::create_directories(folder / name);
        }
        std::snprintf(name, sizeof name, "d%05zu/f%07zu.txt", i / 1000, i);
        writeFile(folder / name, generator.prose(80 + generator.next() % 220));
    }
    std::ofstream(folder / MarkerName) << description;
}

std::vector<fs::path> BenchTree::listFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().filename() != MarkerName)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}
