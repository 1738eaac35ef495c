#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Writes the activity log to "<file-name timestamp>.txt" in the log folder (made when missing),
// every line ending in CR LF. A log already there under that name (another run that ended in the same
// second) is never replaced: this one then gets "_2", "_3", ... after the timestamp. The file
// appears whole or not at all. Throws std::runtime_error when the folder or the file cannot be
// written.
class LogFileWriter {
public:
    static QString write(const QString& logFolder, const QStringList& lines,
                         const QDateTime& moment = QDateTime::currentDateTime());
};
