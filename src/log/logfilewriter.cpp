#include "log/logfilewriter.h"

#include "log/timestamp.h"

#include <QDir>
#include <QSaveFile>

#include <stdexcept>

QString LogFileWriter::write(const QString& programDir, const QStringList& lines, const QDateTime& moment) {
    const QString folder = QDir(programDir).filePath(QStringLiteral("logs"));
    if (!QDir().mkpath(folder))
        throw std::runtime_error(("Unable to create " + folder).toStdString());

    const QString path = QDir(folder).filePath(Timestamp::fileNameText(moment) + QStringLiteral(".txt"));
    QByteArray content;
    for (const QString& line : lines) {
        content += line.toUtf8();
        content += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw std::runtime_error(("Unable to write to " + path).toStdString());
    return path;
}
