#pragma once

#include <QObject>

// Turns the operating system's request to end the program (SIGTERM, SIGINT, SIGHUP on
// POSIX) into a signal on the GUI thread. One instance per process.
class TerminationRequest : public QObject {
    Q_OBJECT
public:
    explicit TerminationRequest(QObject* parent = nullptr);
    ~TerminationRequest() override;

    // Called first thing in main(): a request that arrives before the instance exists waits
    // for it instead of ending the process on the spot.
    static void holdRequests();
    // Called once the program has ended: a request that comes while the process winds down
    // changes nothing, so the exit status stays the run's.
    static void ignoreFurtherRequests();

Q_SIGNALS:
    void requested();

private:
    void handleNotifier();

    class Private;
    Private* m_d;
};
