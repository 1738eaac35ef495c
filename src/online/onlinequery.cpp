#include "online/onlinequery.h"

#include <QUrl>

OnlineQuery& OnlineQuery::add(const QString& key, const QString& value) {
    m_text += (m_text.isEmpty() ? QLatin1Char('?') : QLatin1Char('&')) + key + QLatin1Char('=') +
              encodeValue(value);
    return *this;
}

QString OnlineQuery::encodeValue(const QString& value) {
    QString replaced = value;
    for (const QChar c : {QLatin1Char(' '), QLatin1Char('/'), QLatin1Char('\\')})
        replaced.replace(c, QLatin1Char('_'));
    return QString::fromLatin1(QUrl::toPercentEncoding(replaced));
}
