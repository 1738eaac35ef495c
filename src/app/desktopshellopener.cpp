#include "app/desktopshellopener.h"

#include "platform/pathbytes.h"

#include <QDesktopServices>

bool DesktopShellOpener::open(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShellOpener::openFolder(const std::filesystem::path& folder) {
    const QByteArray bytes = QByteArray::fromStdString(pathBytes(folder));
    return QDesktopServices::openUrl(QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/")));
}

bool DesktopShellOpener::launchUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
