#pragma once

#include <QString>

#include <filesystem>

// Opens a file or folder with the desktop's default handler (never through a shell command line).
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual bool open(const QString& path) = 0;
    // A folder named by its bytes, which need not be valid UTF-8.
    virtual bool openFolder(const std::filesystem::path& folder);
};

class DesktopShellOpener : public ShellOpener {
public:
    bool open(const QString& path) override;
    bool openFolder(const std::filesystem::path& folder) override;
};
