#pragma once

#include <QString>

// What one HTTP fetch asks for. The fetch component holds one; its worker gets a copy,
// so changes after the start do not reach a running fetch.
struct HttpRequest {
    QString AcceptTypes = QStringLiteral("*/*");
    QString Agent = QStringLiteral("Quoralis2005");
    // When true, a response without a Content-Length header is a failure.
    bool BinaryData = false;
    QString URL;
    // When false, the request asks every cache on the way for a fresh answer.
    bool UseCache = false;
    QString FileName;
    QString UserName;
    QString Password;
    // When not empty, the request is a POST with this form-encoded body.
    QString PostQuery;
    QString Referer;
    // A connection that cannot be made, or a server that sends nothing, for this long fails.
    int TimeoutSeconds = 30;
    // The whole fetch, from connecting to the last byte, fails when it takes longer: a server
    // that trickles its answer cannot hold the component.
    int DeadlineSeconds = 60;
    // A text answer longer than this fails the fetch, its transfer broken off: the answers the
    // program asks for are one short line.
    qint64 MaxTextBytes = 64 * 1024;
};
