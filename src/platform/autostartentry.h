#pragma once

#include <QString>

#include <filesystem>

namespace platform {

// Starting the program when the user logs on to the desktop session: a desktop entry
// $XDG_CONFIG_HOME/autostart/<appName>.desktop (~/.config/autostart by default) whose
// Exec line runs the quoted executable, with the arguments a user added to the entry. On
// Windows: the value <appName> under the user's "Run" key. Each call reads or writes the
// system's state afresh.
class AutostartEntry {
public:
    // True when an entry for appName exists and is not disabled (a desktop entry with
    // Hidden=true does not start anything).
    static bool isRegistered(const QString& appName);
    // Writes (or rewrites) the entry to start the executable, keeping the arguments that
    // follow the program in an entry already there; false when it cannot be written.
    static bool registerProgram(const QString& appName, const std::filesystem::path& executablePath);
    // Removes the entry; true when there is none afterwards.
    static bool unregister(const QString& appName);
};

} // namespace platform
