#pragma once

#include <QString>

// The program's web server: the build's default, or QUORALIS_SERVER at run time
// ("host" or "host:port", optionally with "http://" or "https://").
class OnlineServer {
public:
    // "http://host[:port]" or "https://host[:port]", without a trailing "/".
    static QString baseUrl();
    // The same for a given setting; an empty one gives the build's default.
    static QString baseUrlFrom(const QString& setting);
    static QString supportAddress();
};
