#include "schedule/intervaltimer.h"

IntervalTimer::IntervalTimer(QObject* parent)
    : QObject(parent) {
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::Timer1Timer);
}

qint64 IntervalTimer::fullInterval() const {
    // In 64 bits: intervals above 35791 minutes overflow a 32-bit product.
    return qint64(m_intervalMinutes) * 60 * 1000;
}

void IntervalTimer::cbAutoClick(bool enabled, int intervalMinutes) {
    Q_EMIT titleChanged(QStringLiteral("Quoralis2005"));
    m_intervalMinutes = intervalMinutes;
    m_remainingMs = fullInterval();
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
    Q_EMIT countdownVisibleChanged(enabled);
}

void IntervalTimer::pause() {
    m_timer.stop();
}

void IntervalTimer::resume(bool enabled) {
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}

void IntervalTimer::Timer1Timer() {
    m_remainingMs -= 1000;
    const QString text = CountdownText(m_remainingMs / 1000);
    Q_EMIT countdownChanged(text);
    Q_EMIT titleChanged(QStringLiteral("Quoralis in ") + text);
    if (m_remainingMs <= 0) {
        m_remainingMs = fullInterval();
        Q_EMIT backupDue();
    }
}

QString IntervalTimer::CountdownText(qint64 seconds) {
    const qint64 days = seconds / 86400;
    const qint64 hours = (seconds - days * 86400) / 3600;
    const qint64 minutes = (seconds - days * 86400 - hours * 3600) / 60;
    const qint64 rest = seconds - days * 86400 - hours * 3600 - minutes * 60;
    QString text;
    if (days > 0)
        text += QString::number(days) + QStringLiteral(" days, ");
    if (hours > 0)
        text += QString::number(hours) + QLatin1Char(':');
    if (minutes > 0)
        text += QStringLiteral("%1:").arg(minutes, 2, 10, QLatin1Char('0'));
    text += QStringLiteral("%1").arg(rest, 2, 10, QLatin1Char('0'));
    return text;
}
