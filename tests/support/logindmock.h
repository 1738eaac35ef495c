#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QProcess>
#include <QString>
#include <QVariantList>

#include <utility>

// A login manager for tests of the timed shutdown: python3-dbusmock's logind template on a
// private message bus of its own, recording every call. Owns the bus daemon and the mock
// process; both end with this object, or with the test process should it crash.
class LogindMock {
public:
    LogindMock();
    ~LogindMock();
    LogindMock(const LogindMock&) = delete;
    LogindMock& operator=(const LogindMock&) = delete;

    // What is not installed for the mock to run (a reason to skip), or empty.
    static QString missingTool();

    // Starts the bus and the mock and waits until the login manager answers on it.
    bool start();
    // Why the last call that returned false failed.
    QString error() const { return m_error; }

    QByteArray address() const { return m_address; }
    // This process's connection to the private bus.
    QDBusConnection connection() const;

    // Back to the bare template: no shutdown methods, no recorded calls.
    bool reset();
    // The manager schedules and cancels shutdowns as a real one does: ScheduleShutdown keeps the
    // request in the ScheduledShutdown property, CancelScheduledShutdown clears it and answers
    // whether there was one to cancel.
    bool acceptShutdownRequests();
    // ScheduleShutdown answers with an authorization error and schedules nothing.
    bool refuseShutdownRequests();
    // As acceptShutdownRequests, but ScheduleShutdown first reads the named pipe at `pipePath` to
    // its end: the manager answers only when the test has opened, written and closed the pipe.
    // Until then the whole mock is busy and answers nothing else either.
    bool acceptShutdownRequestsOnlyAfter(const QString& pipePath);
    bool addManagerMethod(const QString& name, const QString& inSignature, const QString& outSignature,
                          const QString& code);

    // The arguments of each recorded call of `method`, oldest first.
    QList<QVariantList> calls(const QString& method);
    // The ScheduledShutdown property: the kind ("" when none) and the time in µs since the epoch.
    std::pair<QString, quint64> scheduledShutdown();

private:
    QDBusMessage callMock(const QString& method, const QVariantList& args);
    bool succeeded(const QDBusMessage& reply);
    bool addScheduledShutdownProperty();

    QProcess m_bus;
    QProcess m_mock;
    QByteArray m_address;
    QString m_connectionName;
    QString m_error;
};
