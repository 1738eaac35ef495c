#include "platform/settingslocation.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

const char* const programFolderName = "Quoralis2005";

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

// An XDG base folder: the variable when it holds an absolute path (others are to be
// ignored), otherwise the default below the home folder.
std::filesystem::path baseDirectory(const char* variable, const char* defaultBelowHome) {
    if (const char* value = std::getenv(variable); value && *value == '/')
        return value;
    return homeDirectory() / defaultBelowHome;
}

} // namespace

bool SettingsLocation::canCreateFilesIn(const std::filesystem::path& folder) {
    // Really created: permission bits alone do not tell (a root process passes them, a
    // read-only mount or an access-control list may still refuse).
    std::string probe = (folder / ".Quoralis2005-write-test-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool SettingsLocation::isSystemFolder(const std::filesystem::path& folder) {
    for (const char* system : {"/usr", "/opt"}) {
        const std::filesystem::path root(system);
        const auto [end, unused] = std::mismatch(root.begin(), root.end(), folder.begin(), folder.end());
        if (end == root.end())
            return true;
    }
    return false;
}

std::filesystem::path SettingsLocation::userSettingsDirectory() {
    return baseDirectory("XDG_CONFIG_HOME", ".config") / programFolderName;
}

std::filesystem::path SettingsLocation::userLogDirectory() {
    return baseDirectory("XDG_DATA_HOME", ".local/share") / programFolderName / "logs";
}

} // namespace platform
