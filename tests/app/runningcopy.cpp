#include "runningcopy.h"

#include <QDeadlineTimer>
#include <QTest>

RunningCopy::RunningCopy(const QString& programDir, QProcessEnvironment environment)
    : m_programDir(programDir) {
    environment.insert(QStringLiteral("QUORALIS_LOG_ECHO"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.setReadChannel(QProcess::StandardError);
}

RunningCopy::~RunningCopy() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

void RunningCopy::start(const QStringList& arguments) {
    m_process.setProgram(m_programDir + QStringLiteral("/quoralis2005"));
    m_process.setArguments(arguments);
    m_process.setWorkingDirectory(m_programDir);
    m_process.start();
    QVERIFY(m_process.waitForStarted());
}

bool RunningCopy::waitForLine(const QByteArray& text, int count) {
    const QDeadlineTimer deadline(60'000);
    for (;;) {
        while (m_process.canReadLine())
            m_seen += m_process.readLine();
        if (m_seen.count(text) >= count)
            return true;
        if (deadline.hasExpired())
            return false;
        if (!m_process.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))) &&
            m_process.state() == QProcess::NotRunning && !m_process.canReadLine()) {
            m_seen += m_process.readAll();
            return m_seen.count(text) >= count;
        }
    }
}

void RunningCopy::signal(int number) const {
    ::kill(pid_t(m_process.processId()), number);
}

int RunningCopy::endStatus(int waitMs) {
    const bool ended = m_process.waitForFinished(waitMs);
    if (!ended) {
        m_process.kill();
        m_process.waitForFinished();
    }
    m_seen += m_process.readAll();
    if (!ended)
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
}
