#include "widgets/picturebutton.h"

#include <QPainter>

PictureButton::PictureButton(const QIcon& picture, const QString& hint, QWidget* parent)
    : QAbstractButton(parent) {
    setIcon(picture);
    setToolTip(hint);
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void PictureButton::setOnDarkBackground(bool dark) {
    m_onDark = dark;
    update();
}

QSize PictureButton::sizeHint() const {
    return iconSize() + QSize(6, 6);
}

void PictureButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isEnabled() && (m_hovered || isDown())) {
        QColor veil = m_onDark ? QColor(255, 255, 255) : QColor(0, 0, 0);
        veil.setAlpha(isDown() ? 70 : 35);
        painter.setPen(Qt::NoPen);
        painter.setBrush(veil);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    const QSize size = iconSize();
    const QPoint topLeft = rect().center() - QPoint(size.width() / 2, size.height() / 2) + QPoint(1, 1);
    const QPixmap picture = icon().pixmap(size, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter.drawPixmap(QRect(topLeft, size), picture);
}
