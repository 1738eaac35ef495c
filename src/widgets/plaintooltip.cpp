#include "widgets/plaintooltip.h"

QString PlainToolTip::of(const QString& text) {
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}
