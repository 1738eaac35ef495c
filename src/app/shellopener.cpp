#include "app/shellopener.h"

#include "log/pathtext.h"
#include "online/weblinks.h"

#include <QDesktopServices>

bool ShellOpener::acceptsWebAddress(const QUrl& url) {
    const bool mail = url.isValid() && url.scheme() == QStringLiteral("mailto") && !url.path().isEmpty();
    return mail || WebLinks::isWebAddress(url);
}

bool ShellOpener::openWebAddress(const QUrl& url) {
    if (!acceptsWebAddress(url))
        return false;
    return launchUrl(url);
}

bool DesktopShellOpener::open(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool ShellOpener::openFolder(const std::filesystem::path& folder) {
    return open(pathText(folder));
}

bool DesktopShellOpener::openFolder(const std::filesystem::path& folder) {
    const QByteArray bytes = QByteArray::fromStdString(pathBytes(folder));
    return QDesktopServices::openUrl(QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/")));
}

bool DesktopShellOpener::launchUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
