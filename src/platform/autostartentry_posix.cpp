#include "platform/autostartentry.h"
#include "platform/desktopentry.h"
#include "platform/wholefile.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

bool AutostartEntry::isRegistered(const QString& appName) {
    const std::filesystem::path path = DesktopEntry::autostartPath(appName);
    if (path.empty())
        return false;
    const WholeFile::ReadResult file = WholeFile::read(path);
    return file.status == WholeFile::ReadStatus::Ok && !DesktopEntry::isHidden(file.content);
}

bool AutostartEntry::registerProgram(const QString& appName, const std::filesystem::path& executablePath) {
    const std::filesystem::path path = DesktopEntry::autostartPath(appName);
    if (path.empty())
        return false;
    // Arguments a user added to the entry (such as /minimize) stay when the program is written anew.
    const WholeFile::ReadResult previous = WholeFile::read(path);
    const QByteArray arguments = previous.status == WholeFile::ReadStatus::Ok
                                     ? DesktopEntry::execArguments(previous.content)
                                     : QByteArray();
    const QByteArray entry = DesktopEntry::forExecutable(appName, executablePath, arguments);
    if (entry.isEmpty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    return !error && WholeFile::replace(path, entry);
}

bool AutostartEntry::unregister(const QString& appName) {
    const std::filesystem::path path = DesktopEntry::autostartPath(appName);
    if (path.empty())
        return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace platform
