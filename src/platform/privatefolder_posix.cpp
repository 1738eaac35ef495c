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

std::string ownName() {
    return "quoralis2005-" + std::to_string(::geteuid());
}

bool isPrivateAndWritable(const std::filesystem::path& folder) {
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return false;
    if ((status.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace

std::vector<std::filesystem::path> PrivateFolder::places() {
    std::vector<std::filesystem::path> places;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        places.push_back(std::filesystem::path(runtime.toStdString()) / ownName());
    places.push_back(std::filesystem::path(QFile::encodeName(QDir::tempPath()).toStdString()) / ownName());
    places.push_back(std::filesystem::path("/tmp") / ownName());
    return places;
}

std::filesystem::path PrivateFolder::make(const std::filesystem::path& place) {
    ::mkdir(place.c_str(), 0700);
    return isPrivateAndWritable(place) ? place : std::filesystem::path();
}

std::filesystem::path PrivateFolder::makeUnique() {
    std::string pattern = "/tmp/" + ownName() + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

} // namespace platform
