#include "online/versioncheck.h"

#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "online/thttpget.h"
#include "online/weblinks.h"
#include "core/userprompts.h"

namespace {

// Blanks and control characters at both ends, as a server's line break.
QString trimmedAnswer(const QString& answer) {
    qsizetype begin = 0;
    qsizetype end = answer.size();
    const auto strip = [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control;
    };
    while (begin < end && strip(answer.at(begin)))
        ++begin;
    while (end > begin && strip(answer.at(end - 1)))
        --end;
    return answer.mid(begin, end - begin);
}

} // namespace

VersionCheck::VersionCheck(Context context, QObject* parent)
    : QObject(parent)
    , m_c(std::move(context))
    , m_updater(new THTTPGet(this)) {
    m_updater->setObjectName(QStringLiteral("UPDATER"));
    connect(m_updater, &THTTPGet::OnDoneString, this, &VersionCheck::UPDATERDoneString);
    connect(m_updater, &THTTPGet::OnError, this, &VersionCheck::UPDATERError);
}

void VersionCheck::CheckVersion(bool automatic) {
    m_c.marker->set(QStringLiteral("version_check_") +
                    (automatic ? QStringLiteral("-1") : QStringLiteral("0")));
    m_c.log->logMessage(QStringLiteral("Checking for newer version..."));
    const QString version = m_c.versionString();
    const QString url = WebLinks::versionCheck(version);
    m_automatic = automatic;
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
    const QString text = trimmedAnswer(answer);
    if (text.isEmpty()) {
        UPDATERError();
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
        m_c.log->logMessage(text);
    }
    if (!m_automatic) {
        m_c.playEventSound(QStringLiteral("latest"));
        m_c.prompts->notify(text);
    }
}

void VersionCheck::UPDATERError() {
    // A check the user asked for must not fail in silence; the automatic one stays quiet.
    if (m_automatic)
        return;
    m_c.log->logMessage(QStringLiteral("Update error"));
    m_c.prompts->notify(QStringLiteral("Update error"));
}
