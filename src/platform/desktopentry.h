#pragma once

#include <QByteArray>
#include <QString>

#include <filesystem>

namespace platform {

// The desktop entry files of session autostart (XDG).
class DesktopEntry {
public:
    // The entry that starts the executable with the given Exec arguments (as execArguments
    // returns them); empty when the path is not valid UTF-8, since a desktop entry cannot name it.
    static QByteArray forExecutable(const QString& appName, const std::filesystem::path& executablePath,
                                    const QByteArray& arguments = {});
    // The application menu's entry for the executable, with a comment and an icon (a theme
    // name or an absolute path); empty like forExecutable.
    static QByteArray forMenu(const QString& appName, const std::filesystem::path& executablePath,
                              const QString& comment, const QString& icon);
    // The Exec value that runs exactly this program: the path quoted and escaped for the
    // Exec key, then the arguments, and the result escaped as a desktop-entry string.
    static QByteArray execValue(const QByteArray& executablePath, const QByteArray& arguments = {});
    // What follows the program on the Exec line of an entry's main group, with the string
    // escapes undone but the Exec quoting kept, so it can be written after another program.
    static QByteArray execArguments(const QByteArray& entry);
    // <config home>/autostart/<appName>.desktop; empty for a name that cannot be a file name.
    static std::filesystem::path autostartPath(const QString& appName);
    // Whether an entry's text says it is disabled (Hidden=true).
    static bool isHidden(const QByteArray& entry);

private:
    static QByteArray entry(const QString& appName, const std::filesystem::path& executablePath,
                            const QByteArray& arguments, const QByteArray& moreKeys);
};

} // namespace platform
