#include "platform/terminationrequest.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Only an async-signal-safe write here; the GUI thread reads the byte.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}
} // namespace

class TerminationRequest::Private {
public:
    QSocketNotifier* notifier = nullptr;
    struct sigaction previous[3]{};
};

namespace {
constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};
}

TerminationRequest::TerminationRequest(QObject* parent)
    : QObject(parent)
    , m_d(new Private) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    m_d->notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_d->notifier, &QSocketNotifier::activated, this, &TerminationRequest::handleNotifier);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &m_d->previous[i]);
    // What arrived while the requests were held is delivered now, to the handler above.
    sigset_t held;
    sigemptyset(&held);
    for (int s : kSignals)
        sigaddset(&held, s);
    ::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
}

void TerminationRequest::holdRequests() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : kSignals)
        sigaddset(&held, s);
    ::pthread_sigmask(SIG_BLOCK, &held, nullptr);
}

void TerminationRequest::ignoreFurtherRequests() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &ignore, nullptr);
}

TerminationRequest::~TerminationRequest() {
    if (m_d->notifier) {
        // Handlers that were ignored stay so: the program has ended.
        for (int i = 0; i < 3; ++i) {
            struct sigaction now {};
            ::sigaction(kSignals[i], nullptr, &now);
            if (now.sa_handler != SIG_IGN)
                ::sigaction(kSignals[i], &m_d->previous[i], nullptr);
        }
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
    delete m_d;
}

void TerminationRequest::handleNotifier() {
    char buffer[16];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    Q_EMIT requested();
}
