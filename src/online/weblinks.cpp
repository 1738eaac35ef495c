#include "online/weblinks.h"

#include "online/onlinequery.h"
#include "online/onlineserver.h"

namespace {

const QString kProgram = QStringLiteral("Quoralis2005");

QUrl onServer(const QString& pathAndQuery) {
    return QUrl(OnlineServer::baseUrl() + pathAndQuery, QUrl::StrictMode);
}

} // namespace

QUrl WebLinks::homepage() {
    return onServer(QStringLiteral("/enter.php?ref=") + kProgram);
}

QUrl WebLinks::newsletter() {
    return onServer(QStringLiteral("/index.php?page=newsletter"));
}

QUrl WebLinks::supportMail() {
    return QUrl(QStringLiteral("mailto:") + OnlineServer::supportAddress() + QStringLiteral("?subject=") +
                kProgram + QStringLiteral(" Support"));
}

QString WebLinks::versionCheck(const QString& version) {
    return OnlineServer::baseUrl() +
           (QStringLiteral("/php/versioncheck.php") + OnlineQuery()
                                                          .add(QStringLiteral("program"), kProgram)
                                                          .add(QStringLiteral("version"), version)
                                                          .text());
}

QString WebLinks::errorReport(const QString& query) {
    return OnlineServer::baseUrl() + (QStringLiteral("/php/exceptions.php") + query);
}

QString WebLinks::aboutText(const QString& version) {
    const QString lineBreak = QStringLiteral("\n\r");
    return kProgram + QStringLiteral(" v. ") + version + lineBreak +
           QStringLiteral("Backs up your folders into standard ZIP archives.") + lineBreak +
           QStringLiteral("Copyright (c) 2005-2026 the Quoralis2005 developers") + lineBreak +
           homepage().toString();
}

bool WebLinks::isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QStringLiteral("http") || scheme == QStringLiteral("https")) &&
           !url.host().isEmpty();
}
