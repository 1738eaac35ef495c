#include "online/versioncheck.h"

#include "core/userprompts.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "online/servertext.h"
#include "online/httpfetch.h"
#include "online/weblinks.h"

VersionCheck::VersionCheck(Context context, QObject* parent)
    : QObject(parent)
    , m_c(std::move(context))
    , m_updater(new HttpFetch(this)) {
    m_updater->setObjectName(QStringLiteral("UPDATER"));
    connect(m_updater, &HttpFetch::OnDoneString, this, &VersionCheck::UPDATERDoneString);
    connect(m_updater, &HttpFetch::OnError, this, &VersionCheck::UPDATERError);
}

void VersionCheck::CheckVersion(bool automatic) {
    m_c.marker->set(QStringLiteral("version_check_") +
                    (automatic ? QStringLiteral("-1") : QStringLiteral("0")));
    m_c.log->logMessage(QStringLiteral("Checking for newer version..."));
    const QString version = m_c.versionString();
    const QString url = WebLinks::versionCheck(version);
    m_automatic = automatic;
    if (m_updater->isRunning()) {
        // The running check's answer is handled as this one's; the user hears that it comes.
        if (!automatic)
            m_c.prompts->notify(QStringLiteral("A check for a newer version is already running: its answer "
                                               "will follow."));
        return;
    }
    m_updater->setWaitThread(automatic);
    m_updater->properties().URL = url;
    m_updater->GetString();
}

std::optional<QUrl> VersionCheck::downloadAddress(const QString& answer) {
    if (!answer.startsWith(QStringLiteral("http://")) && !answer.startsWith(QStringLiteral("https://")))
        return std::nullopt;
    const QUrl url(answer, QUrl::TolerantMode);
    if (!WebLinks::isWebAddress(url))
        return std::nullopt;
    return url;
}

void VersionCheck::UPDATERDoneString(const QString& answer) {
    const QString text = ServerText::trimmed(answer);
    if (text.isEmpty()) {
        reportFailure(QStringLiteral("the server sent an empty answer"));
        return;
    }
    if (const std::optional<QUrl> address = downloadAddress(text)) {
        m_c.playEventSound(QStringLiteral("update"));
        if (!m_c.prompts->ask(QStringLiteral("A newer version is available, do you want to close this "
                                             "program and download the installer now?")))
            return;
        m_c.log->logMessage(QStringLiteral("Closing for update installation..."));
        m_c.openAddress(*address);
        m_c.saveConfig();
        m_c.closeMainWindow();
    } else {
        m_c.log->logMessage(ServerText::excerpt(text, ServerText::logChars));
    }
    if (!m_automatic) {
        m_c.playEventSound(QStringLiteral("latest"));
        m_c.prompts->notify(ServerText::excerpt(text, ServerText::displayChars));
    }
}

void VersionCheck::UPDATERError() {
    reportFailure(m_updater->errorText());
}

void VersionCheck::reportFailure(const QString& reason) {
    // A check the user asked for must not fail in silence; the automatic one stays quiet.
    if (m_automatic)
        return;
    const QString text = QStringLiteral("Update error: ") + reason;
    m_c.log->logMessage(text);
    m_c.prompts->notify(text);
}
