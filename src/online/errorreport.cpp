#include "online/errorreport.h"

#include "core/userprompts.h"
#include "log/eventmarker.h"
#include "online/httpfetch.h"
#include "online/onlinequery.h"
#include "online/servertext.h"
#include "online/weblinks.h"
#include "platform/systeminfo.h"

ErrorReport::ErrorReport(const EventMarker& marker, QObject* parent)
    : QObject(parent)
    , m_marker(marker)
    , m_http(new HttpFetch(this)) {
    m_http->setObjectName(QStringLiteral("HTTP"));
    m_http->setWaitThread(true);
    connect(m_http, &HttpFetch::OnDoneString, this, &ErrorReport::HTTPDoneString);
    connect(m_http, &HttpFetch::OnError, this, &ErrorReport::sendFailed);
}

void ErrorReport::setReporting(UserPrompts* prompts, std::function<void()> endProgram) {
    m_prompts = prompts;
    m_endProgram = std::move(endProgram);
}

bool ErrorReport::isSending() const {
    return m_http->isRunning();
}

void ErrorReport::send(const QString& errorText, const std::optional<QString>& email) {
    if (isSending())
        return;
    // Before the fetch starts: with WaitThread on, its failure can arrive before GetString returns.
    Q_EMIT sendingStarted();
    m_http->properties().URL = WebLinks::errorReport(reportQuery(errorText, email));
    m_http->GetString();
}

QString ErrorReport::reportQuery(const QString& errorText, const std::optional<QString>& email) const {
    OnlineQuery query;
    query.add(QStringLiteral("program"), QStringLiteral("Quoralis2005"))
        .add(QStringLiteral("version"), platform::SystemInfo::programVersion())
        .add(QStringLiteral("exception"), errorText)
        .add(QStringLiteral("event"), m_marker.value())
        .add(QStringLiteral("os"), platform::SystemInfo::osDescription())
        .add(QStringLiteral("email"), email.value_or(QStringLiteral("anonymous")));
    return query.text();
}

void ErrorReport::HTTPDoneString(const QString& answer) {
    if (m_prompts)
        m_prompts->notify(ServerText::excerpt(answer, ServerText::displayChars));
    if (m_endProgram)
        m_endProgram();
}
