#include "platform/systeminfo.h"

#include <fcntl.h>
#include <map>

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

QString SystemInfo::programDirectoryText() {
    return folderText(programDirectory());
}

QString SystemInfo::folderText(const std::filesystem::path& folder) {
    const std::string& bytes = folder.native();
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (text.toUtf8().toStdString() == bytes)
        return text;
    // The folder stays open for the life of the process; its descriptor's name is plain ASCII.
    static std::map<std::string, int> held;
    auto found = held.find(bytes);
    if (found == held.end()) {
        const int fd = ::open(bytes.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return text;
        found = held.emplace(bytes, fd).first;
    }
    return QStringLiteral("/proc/self/fd/%1").arg(found->second);
}

} // namespace platform
