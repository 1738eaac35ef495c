#pragma once

#include <QString>

#include <filesystem>

namespace platform {

// Facts about the computer and the program, as shown in reports and passed to shutdown.
class SystemInfo {
public:
    static QString computerName();
    // The system's product name and its kernel version, e.g. "Debian GNU/Linux 12 (bookworm) 6.1.0".
    static QString osDescription();
    // The program runs only on systems with the abilities of the NT family.
    static bool isNtFamily() { return true; }
    // The four-part version of the program, e.g. "1.0.0.1".
    static QString programVersion();
    // The folder for temporary files, ending with a separator.
    static QString tempDir();
    // The folder of the running executable with its name as the system gives it (bytes on
    // Linux, so a name that is not valid UTF-8 stays whole); links to the executable resolved.
    static std::filesystem::path programDirectory();
    // A text that names the program's folder for everything that takes paths as text (libraries,
    // icons, pages to open): its own name where that is valid text, otherwise another name of the
    // same folder that is, held for as long as the program runs.
    static QString programDirectoryText();
    // The same for any existing folder.
    static QString folderText(const std::filesystem::path& folder);
};

} // namespace platform
