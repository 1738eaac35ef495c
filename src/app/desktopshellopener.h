#pragma once

#include "app/shellopener.h"

// The desktop's own handlers, through Qt's desktop services.
class DesktopShellOpener : public ShellOpener {
public:
    bool open(const QString& path) override;
    bool openFolder(const std::filesystem::path& folder) override;

protected:
    bool launchUrl(const QUrl& url) override;
};
