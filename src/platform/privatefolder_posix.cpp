#include "platform/privatefolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool isPrivateAndWritable(const std::filesystem::path& folder) {
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return false;
    if ((status.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path ownFolderIn(const std::filesystem::path& base) {
    const std::filesystem::path folder = base / ("quoralis2005-" + std::to_string(::geteuid()));
    ::mkdir(folder.c_str(), 0700);
    return isPrivateAndWritable(folder) ? folder : std::filesystem::path();
}

std::filesystem::path uniqueFolderIn(const std::filesystem::path& base) {
    std::string pattern = (base / ("quoralis2005-" + std::to_string(::geteuid()) + "-XXXXXX")).native();
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

} // namespace

std::vector<std::filesystem::path> PrivateFolder::candidates(std::size_t maxPathBytes, std::size_t room) {
    std::vector<std::filesystem::path> bases;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        bases.emplace_back(runtime.toStdString());
    bases.emplace_back(QFile::encodeName(QDir::tempPath()).toStdString());
    bases.emplace_back("/tmp");

    std::vector<std::filesystem::path> folders;
    const auto fits = [&](const std::filesystem::path& folder) {
        return !folder.empty() && folder.native().size() + 1 + room <= maxPathBytes;
    };
    for (const std::filesystem::path& base : bases) {
        const std::filesystem::path folder = ownFolderIn(base);
        if (fits(folder))
            folders.push_back(folder);
    }
    if (folders.empty()) {
        const std::filesystem::path folder = uniqueFolderIn("/tmp");
        if (fits(folder))
            folders.push_back(folder);
    }
    return folders;
}

} // namespace platform
