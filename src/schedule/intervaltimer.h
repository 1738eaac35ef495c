#pragma once

#include <QObject>
#include <QTimer>

// The backup interval countdown: a one-second tick that counts the remaining time down,
// shows it, and asks for a backup when it reaches zero. Owns its timer.
class IntervalTimer : public QObject {
    Q_OBJECT
public:
    explicit IntervalTimer(QObject* parent = nullptr);

    // Applies "Make backup every" … "minutes": restarts the countdown at the full interval
    // and runs the tick exactly while the box is ticked.
    void cbAutoClick(bool enabled, int intervalMinutes);
    // The busy state freezes the countdown and lets it go on where it was.
    void pause();
    void resume(bool enabled);
    // One tick; the timer calls it every second.
    void Timer1Timer();

    bool isRunning() const { return m_timer.isActive(); }
    qint64 remainingMs() const { return m_remainingMs; }
    static QString CountdownText(qint64 seconds);

Q_SIGNALS:
    void titleChanged(const QString& title);
    void countdownChanged(const QString& text);
    void countdownVisibleChanged(bool visible);
    // The countdown ran out; the receiver runs the backup and returns when it is over.
    void backupDue();

private:
    qint64 fullInterval() const;

    QTimer m_timer;
    qint64 m_remainingMs = 0;
    int m_intervalMinutes = 30;
};
