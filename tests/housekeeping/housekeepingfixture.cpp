#include "housekeepingfixture.h"

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

HousekeepingFixture::HousekeepingFixture()
    : now(QDateTime::currentDateTime())
    , housekeeping(dir.fsPath() / "logs", settings, log, prompts,
                   [this](const QString& event) { sounds.append(event); }) {
    housekeeping.setClock([this] { return now; });
    QObject::connect(&log, &ActivityLog::messageLogged,
                     [this](const QString& message) { messages.append(message); });
}

fs::path HousekeepingFixture::file(const std::string& relative, const QDateTime& modified) const {
    const fs::path path = at(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "content of " << relative;
    setModified(path, modified);
    return path;
}

fs::path HousekeepingFixture::folder(const std::string& relative) const {
    fs::create_directories(at(relative));
    return at(relative);
}

bool HousekeepingFixture::exists(const std::string& relative) const {
    std::error_code ec;
    return fs::symlink_status(at(relative), ec).type() != fs::file_type::not_found;
}

void HousekeepingFixture::switchLogCleanup(bool on, int days) {
    settings.setOn(Setting::KeepLog, true);
    settings.setOn(Setting::CleanLogs, on);
    settings.setNumber(Setting::LogCleanDays, days);
}

void HousekeepingFixture::switchArchiveCheck(bool on, int days, const QString& destination) {
    settings.setOn(Setting::MultiArchive, true);
    settings.setOn(Setting::CleanBackups, on);
    settings.setNumber(Setting::BackupCleanDays, days);
    settings.setDestination(destination.toStdString());
}

void setModified(const fs::path& path, const QDateTime& modified) {
    const qint64 ms = modified.toMSecsSinceEpoch();
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(ms / 1000);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}
