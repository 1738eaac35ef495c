#pragma once

#include <QString>
#include <QUrl>

#include <filesystem>

// Opens a file, folder or web address with the desktop's default handler (never through a
// shell command line).
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual bool open(const QString& path) = 0;
    // A folder named by its bytes, which need not be valid UTF-8.
    virtual bool openFolder(const std::filesystem::path& folder);

    // Opens an http or https address with a host, or a mailto address; refuses anything
    // else (file:, script or local addresses), whatever a server may have answered.
    bool openWebAddress(const QUrl& url);
    // What openWebAddress hands on: http or https with a host, or mailto with an address.
    static bool acceptsWebAddress(const QUrl& url);

protected:
    virtual bool launchUrl(const QUrl& url) = 0;
};
