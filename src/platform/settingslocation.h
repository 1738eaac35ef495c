#pragma once

#include <filesystem>

namespace platform {

// Where the settings file and the logs of this copy of the program live. Beside the program
// (a portable copy) when the settings file is already there or the program folder can be
// written (tried by creating and removing a file in it) and is not one of the system's own
// folders (/usr, /opt: writable for root only, and never a place for one user's files);
// otherwise in the user's own places:
// $XDG_CONFIG_HOME/Quoralis2005/ and $XDG_DATA_HOME/Quoralis2005/logs/ (by default ~/.config
// and ~/.local/share) on Linux, %APPDATA%\Quoralis2005\ and its logs\ on Windows. Paths are
// bytes where the system's names are.
class SettingsLocation {
public:
    static constexpr const char* settingsFileName = "Quoralis2005Config.ini";

    // Decides for the given program folder. When the user's places are chosen, the folder
    // for the settings file is created (a failure shows when the file is first written).
    explicit SettingsLocation(const std::filesystem::path& programDirectory);

    bool isPortable() const { return m_portable; }
    const std::filesystem::path& settingsFile() const { return m_settingsFile; }
    // Ends with a separator. Not created here: the log is written there only when it is kept.
    const std::filesystem::path& logDirectory() const { return m_logDirectory; }

private:
    static bool canCreateFilesIn(const std::filesystem::path& folder);
    static bool isSystemFolder(const std::filesystem::path& folder);
    // The user's own folders of this program for its settings and for its logs.
    static std::filesystem::path userSettingsDirectory();
    static std::filesystem::path userLogDirectory();

    bool m_portable = false;
    std::filesystem::path m_settingsFile;
    std::filesystem::path m_logDirectory;
};

} // namespace platform
