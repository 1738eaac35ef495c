#pragma once

#include <QString>

// Opens a file or folder with the desktop's default handler (never through a shell command line).
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual bool open(const QString& path) = 0;
};

class DesktopShellOpener : public ShellOpener {
public:
    bool open(const QString& path) override;
};
