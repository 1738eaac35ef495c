#include "platform/systeminfo.h"

#include <QDir>
#include <QSysInfo>

namespace platform {

QString SystemInfo::osDescription() {
    return QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion();
}

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
