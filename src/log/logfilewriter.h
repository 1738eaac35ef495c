#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Writes the activity log to "logs/<file-name timestamp>.txt" in the program directory,
// every line ending in CR LF, replacing a file of the same name. Throws
// std::runtime_error when the folder or the file cannot be written.
class LogFileWriter {
public:
    static QString write(const QString& programDir, const QStringList& lines,
                         const QDateTime& moment = QDateTime::currentDateTime());
};
