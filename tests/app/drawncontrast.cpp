#include "drawncontrast.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>

#include <cmath>

namespace DrawnContrast {

namespace {

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Where the widget draws its caption, leaving out check marks, frames and button edges, which are
// no text.
QRect textArea(QWidget* widget) {
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    }
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        return radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
    }
    if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QProgressBar*>(widget))
        return widget->rect().adjusted(2, 2, -2, -2);
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.textAlignment = group->alignment();
        return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget))
        return text->viewport()->geometry();
    return widget->contentsRect();
}

QString captionOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget))
        return text->toPlainText();
    if (auto* bar = qobject_cast<QProgressBar*>(widget))
        return bar->isTextVisible() ? bar->text() : QString();
    return {};
}

} // namespace

double luminance(const QColor& colour) {
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) +
           0.0722 * channel(colour.blue());
}

double ratio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

Reading read(const QImage& shot, const QRect& area) {
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(shot.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[shot.pixel(x, y) | 0xff000000u];
    Reading reading;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            reading.background = QColor::fromRgb(it.key());
        }
    reading.text = reading.background;
    reading.ratio = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double r = ratio(QColor::fromRgb(it.key()), reading.background);
        if (r > reading.ratio) {
            reading.ratio = r;
            reading.text = QColor::fromRgb(it.key());
        }
    }
    return reading;
}

QColor background(const QImage& shot) {
    return read(shot, shot.rect()).background;
}

QList<Reading> readWindow(QWidget* window) {
    // A focus frame is drawn in the highlight colour around a caption and would read as its text.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    const QImage shot = window->grab().toImage();
    const qreal scale = shot.devicePixelRatio();
    QList<Reading> readings;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible() || !widget->isEnabled() || widget->window() != window ||
            captionOf(widget).trimmed().isEmpty())
            continue;
        const QRect area = textArea(widget);
        const QRect onWindow(widget->mapTo(window, area.topLeft()), area.size());
        const QRect pixels((QPointF(onWindow.topLeft()) * scale).toPoint(), onWindow.size() * scale);
        Reading reading = read(shot, pixels);
        reading.widget =
            QStringLiteral("%1 \"%2\"")
                .arg(widget->objectName().isEmpty() ? QLatin1String(widget->metaObject()->className())
                                                    : widget->objectName(),
                     captionOf(widget).left(40));
        readings.append(reading);
    }
    return readings;
}

} // namespace DrawnContrast
