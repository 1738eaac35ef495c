#pragma once

#include <QObject>

// Turns the operating system's request to end the program (SIGTERM, SIGINT, SIGHUP on
// POSIX) into a signal on the GUI thread. One instance per process.
class TerminationRequest : public QObject {
    Q_OBJECT
public:
    explicit TerminationRequest(QObject* parent = nullptr);
    ~TerminationRequest() override;

Q_SIGNALS:
    void requested();

private:
    void handleNotifier();

    class Private;
    Private* m_d;
};
