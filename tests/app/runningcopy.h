#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <csignal>

// One start of an installed program, watched from outside as a scheduler or a desktop session
// starts it: its log lines as they are made (QUORALIS_LOG_ECHO), its signals and its end.
class RunningCopy {
public:
    RunningCopy(const QString& programDir, QProcessEnvironment environment);
    ~RunningCopy();

    void start(const QStringList& arguments);
    // Reads the log lines as they come until the `count`th one that holds `text`; false when the
    // program ended before or did not say it within a minute.
    bool waitForLine(const QByteArray& text, int count = 1);
    int linesWith(const QByteArray& text) const { return int(m_seen.count(text)); }
    void signal(int number) const;
    // The exit status once the program has ended by itself (within `waitMs`); -1 when it had to be
    // killed, -2 when a signal ended it.
    int endStatus(int waitMs = 90'000);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    const QByteArray& seen() const { return m_seen; }

private:
    QString m_programDir;
    QProcess m_process;
    QByteArray m_seen;
};
