#pragma once

#include <QObject>
#include <QStringList>

// The activity log of one run of the program: timestamped lines, kept in memory until
// the program closes. Views (the log viewer, the toolbar window's status line) follow
// it through its signals.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Appends "timestamp - message". Control characters in the message (a file name may hold
    // a line break) are written escaped, so one message is always exactly one line.
    void logMessage(const QString& message);
    // The message as it is logged: "\n", "\r", "\t", other control characters as "\xHH" or "\uHHHH".
    static QString oneLine(const QString& message);
    const QStringList& lines() const { return m_lines; }

Q_SIGNALS:
    void lineAppended(const QString& line);
    void messageLogged(const QString& message);

private:
    QStringList m_lines;
};
