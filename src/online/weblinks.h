#pragma once

#include <QString>
#include <QUrl>

// The program's fixed links to the outside and the About text.
class WebLinks {
public:
    static QUrl homepage();
    static QUrl newsletter();
    static QUrl supportMail();
    // Addresses fetched by the program, exactly as sent.
    static QString versionCheck(const QString& version);
    static QString errorReport(const QString& query);
    // Program, version, copyright and homepage, lines broken by LF then CR.
    static QString aboutText(const QString& version);
    // An address the program may hand to the desktop: http or https with a host.
    static bool isWebAddress(const QUrl& url);
};
