#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QProcess>
#include <QString>
#include <QVariantList>

// A D-Bus service for tests: one of python3-dbusmock's templates on a private message bus of its
// own, recording every call. Owns the bus daemon and the mock process; both end with this
// object, or with the test process should it crash.
class DbusMock {
public:
    enum class Bus { System, Session };

    DbusMock(QString templateName, QString service, QString objectPath, Bus bus);
    virtual ~DbusMock();
    DbusMock(const DbusMock&) = delete;
    DbusMock& operator=(const DbusMock&) = delete;

    // What is not installed for the mock to run (a reason to skip), or empty.
    static QString missingTool();

    // Starts the bus and the mock and waits until the service answers on it.
    bool start();
    // Why the last call that returned false failed.
    QString error() const { return m_error; }

    QByteArray address() const { return m_address; }
    // This process's connection to the private bus.
    QDBusConnection connection() const;

    // Back to the bare template, with no recorded calls.
    bool reset();
    // The arguments of each recorded call of `method`, oldest first.
    QList<QVariantList> calls(const QString& method);

protected:
    QDBusMessage callMock(const QString& method, const QVariantList& args);
    bool succeeded(const QDBusMessage& reply);
    static QVariant plainValue(QVariant value);
    const QString& service() const { return m_service; }
    const QString& objectPath() const { return m_path; }

private:
    QString m_template;
    QString m_service;
    QString m_path;
    Bus m_busKind;
    QProcess m_bus;
    QProcess m_mock;
    QByteArray m_address;
    QString m_connectionName;
    QString m_error;
};
