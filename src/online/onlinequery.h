#pragma once

#include <QString>

// The query of a request to the web server, "?key=value&key=value". In every value blanks,
// "/" and "\" become "_", and then everything but letters, digits and "-._~" is
// percent-encoded (UTF-8), so "&", "#", "%", "=" and non-ASCII text arrive whole.
class OnlineQuery {
public:
    OnlineQuery& add(const QString& key, const QString& value);
    const QString& text() const { return m_text; }

    static QString encodeValue(const QString& value);

private:
    QString m_text;
};
