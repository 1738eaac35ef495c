#include "widgets/shortenedpath.h"

#include <QFontMetrics>
#include <QStringList>

QString ShortenedPath::fit(const QString& path, const QFontMetrics& metrics, int width) {
    const auto fits = [&](const QString& text) {
        return metrics.horizontalAdvance(text) <= width;
    };
    if (fits(path))
        return path;
    const QString separator = QStringLiteral("/");
    QStringList parts = path.split(separator);
    const QString fileName = parts.takeLast();
    // The first part is the root ("" for an absolute path), kept while folders are dropped.
    const QString root = parts.isEmpty() ? QString() : parts.takeFirst();
    while (!parts.isEmpty()) {
        parts.removeFirst();
        QStringList shown{root, QStringLiteral("...")};
        shown += parts;
        shown.append(fileName);
        const QString candidate = shown.join(separator);
        if (fits(candidate))
            return candidate;
    }
    const QString withoutRoot = QStringLiteral("...") + separator + fileName;
    if (fits(withoutRoot))
        return withoutRoot;
    return fileName;
}
