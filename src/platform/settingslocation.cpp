#include "platform/settingslocation.h"

namespace platform {

SettingsLocation::SettingsLocation(const std::filesystem::path& programDirectory) {
    const std::filesystem::path beside = programDirectory / settingsFileName;
    std::error_code error;
    m_portable = !programDirectory.empty() &&
                 (std::filesystem::exists(std::filesystem::symlink_status(beside, error)) ||
                  (!isSystemFolder(programDirectory) && canCreateFilesIn(programDirectory)));
    if (m_portable) {
        m_settingsFile = beside;
        m_logDirectory = programDirectory / "logs" / "";
        return;
    }
    const std::filesystem::path folder = userSettingsDirectory();
    std::filesystem::create_directories(folder, error);
    m_settingsFile = folder / settingsFileName;
    m_logDirectory = userLogDirectory() / "";
}

} // namespace platform
