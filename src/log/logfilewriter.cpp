#include "log/logfilewriter.h"

#include "log/timestamp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <stdexcept>

namespace {

constexpr int MaxNamesPerSecond = 1000;

} // namespace

QString LogFileWriter::write(const QString& logFolder, const QStringList& lines, const QDateTime& moment) {
    const QString folder = QDir::cleanPath(logFolder);
    if (!QDir().mkpath(folder))
        throw std::runtime_error(("Unable to create " + folder).toStdString());

    const QString stem = QDir(folder).filePath(Timestamp::fileNameText(moment));
    QByteArray content;
    for (const QString& line : lines) {
        content += line.toUtf8();
        content += "\r\n";
    }
    const QString failed = stem + QStringLiteral(".txt");
    const QString temporary = QDir(folder).filePath(QStringLiteral(".log-%1-%2.tmp")
                                                        .arg(QCoreApplication::applicationPid())
                                                        .arg(QRandomGenerator::global()->generate()));
    {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw std::runtime_error(("Unable to write to " + failed).toStdString());
        const bool written = file.write(content) == content.size() && file.flush();
        file.close();
        if (!written || file.error() != QFileDevice::NoError) {
            // Removed by its name: a file object whose close failed refuses to remove itself.
            QFile::remove(temporary);
            throw std::runtime_error(("Unable to write to " + failed).toStdString());
        }
    }
    // A rename that never replaces: of two runs closing at once, each keeps its own file.
    for (int n = 1; n <= MaxNamesPerSecond; ++n) {
        const QString path =
            stem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) + QStringLiteral(".txt");
        if (QFile::rename(temporary, path))
            return path;
        if (!QFileInfo::exists(path))
            break;
    }
    QFile::remove(temporary);
    throw std::runtime_error(("Unable to write to " + failed).toStdString());
}
