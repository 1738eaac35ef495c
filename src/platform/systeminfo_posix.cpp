#include "platform/systeminfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

namespace platform {

QString SystemInfo::computerName() {
    return QSysInfo::machineHostName();
}

QString SystemInfo::osDescription() {
    // The distribution's pretty name (os-release) and the running kernel's version.
    return QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion();
}

std::filesystem::path SystemInfo::programDirectory() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.is_absolute())
        return executable.parent_path();
    // Without /proc: Qt's answer, whose text may have lost bytes that are not UTF-8.
    return std::filesystem::path(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
}

} // namespace platform
