#include "app/shellopener.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopShellOpener::open(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
