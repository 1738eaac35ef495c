#include "widgets/skinnedbutton.h"

#include "widgets/skinpalette.h"

#include <QPainter>
#include <QPainterPath>

SkinnedButton::SkinnedButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void SkinnedButton::setAccented(bool accented) {
    m_accented = accented;
    update();
}

QSize SkinnedButton::sizeHint() const {
    const QSize base = QPushButton::sizeHint();
    return {base.width() + 8, qMax(base.height(), 22)};
}

void SkinnedButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QPushButton::enterEvent(event);
}

void SkinnedButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QPushButton::leaveEvent(event);
}

void SkinnedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(face, 4, 4);

    const bool enabled = isEnabled();
    const bool down = isDown() || isChecked();
    QColor fill = m_accented ? SkinPalette::accent() : SkinPalette::buttonFace();
    if (!enabled)
        fill = SkinPalette::buttonDisabled();
    else if (down)
        fill = fill.darker(112);
    else if (m_hovered)
        fill = m_accented ? fill.lighter(110) : SkinPalette::buttonHover();
    painter.fillPath(outline, fill);
    painter.setPen(QPen(m_accented && enabled ? fill.darker(118) : SkinPalette::buttonBorder(), 1));
    painter.drawPath(outline);
    if (hasFocus()) {
        painter.setPen(QPen(SkinPalette::accent(), 1, Qt::DotLine));
        painter.drawRoundedRect(face.adjusted(2, 2, -2, -2), 3, 3);
    }

    const QColor textColour = !enabled     ? SkinPalette::disabledText()
                              : m_accented ? QColor(Qt::white)
                                           : SkinPalette::text();
    QRect content = rect().adjusted(6, 2, -6, -2);
    if (down)
        content.translate(0, 1);
    if (!icon().isNull()) {
        const QSize size = iconSize();
        const QPixmap picture = icon().pixmap(size, enabled ? QIcon::Normal : QIcon::Disabled);
        if (text().isEmpty()) {
            painter.drawPixmap(
                QRect(QPoint(0, 0), size)
                    .translated(content.center() - QPoint(size.width() / 2, size.height() / 2)),
                picture);
            return;
        }
        painter.drawPixmap(content.left(), content.center().y() - size.height() / 2, picture);
        content.setLeft(content.left() + size.width() + 4);
    }
    painter.setPen(textColour);
    painter.setFont(font());
    painter.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}
