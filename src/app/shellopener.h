#pragma once

#include <QString>
#include <QUrl>

// Opens a file, folder or web address with the desktop's default handler (never through a
// shell command line).
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual bool open(const QString& path) = 0;
    // Opens an http or https address with a host, or a mailto address; refuses anything
    // else (file:, script or local addresses), whatever a server may have answered.
    bool openWebAddress(const QUrl& url);

protected:
    virtual bool launchUrl(const QUrl& url) = 0;
};

class DesktopShellOpener : public ShellOpener {
public:
    bool open(const QString& path) override;

protected:
    bool launchUrl(const QUrl& url) override;
};
