#include "platform/systeminfo.h"

#include <QDir>

namespace platform {

QString SystemInfo::programVersion() {
    return QStringLiteral(QUORALIS_VERSION_TEXT);
}

QString SystemInfo::tempDir() {
    QString dir = QDir::toNativeSeparators(QDir::tempPath());
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

} // namespace platform
