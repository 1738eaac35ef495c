#include "app/shellopener.h"

#include "log/pathtext.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopShellOpener::open(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool ShellOpener::openFolder(const std::filesystem::path& folder) {
    return open(pathText(folder));
}

bool DesktopShellOpener::openFolder(const std::filesystem::path& folder) {
    const QByteArray bytes = QByteArray::fromStdString(folder.native());
    return QDesktopServices::openUrl(QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/")));
}
