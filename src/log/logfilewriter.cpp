#include "log/logfilewriter.h"

#include "log/timestamp.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <stdexcept>

namespace {

constexpr int MaxNamesPerSecond = 1000;

} // namespace

QString LogFileWriter::write(const QString& programDir, const QStringList& lines, const QDateTime& moment) {
    const QString folder = QDir(programDir).filePath(QStringLiteral("logs"));
    if (!QDir().mkpath(folder))
        throw std::runtime_error(("Unable to create " + folder).toStdString());

    const QString stem = QDir(folder).filePath(Timestamp::fileNameText(moment));
    QByteArray content;
    for (const QString& line : lines) {
        content += line.toUtf8();
        content += "\r\n";
    }
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".log-XXXXXX")));
    if (!file.open() || file.write(content) != content.size() || !file.flush())
        throw std::runtime_error(("Unable to write to " + stem + QStringLiteral(".txt")).toStdString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // A rename that never replaces: of two runs closing at once, each keeps its own file.
    for (int n = 1; n <= MaxNamesPerSecond; ++n) {
        const QString path =
            stem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) + QStringLiteral(".txt");
        if (file.rename(path)) {
            file.setAutoRemove(false);
            return path;
        }
        if (!QFileInfo::exists(path))
            break;
    }
    throw std::runtime_error(("Unable to write to " + stem + QStringLiteral(".txt")).toStdString());
}
