#include "platform/terminationrequest.h"

// Windows ends a GUI program through its windows (WM_QUERYENDSESSION, WM_CLOSE), which
// reach the main window's close path; there is no signal to turn into a request.
class TerminationRequest::Private {};

TerminationRequest::TerminationRequest(QObject* parent)
    : QObject(parent)
    , m_d(new Private) {}

TerminationRequest::~TerminationRequest() {
    delete m_d;
}

void TerminationRequest::handleNotifier() {}

void TerminationRequest::holdRequests() {}

void TerminationRequest::ignoreFurtherRequests() {}
