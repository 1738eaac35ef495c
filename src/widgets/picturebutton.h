#pragma once

#include <QAbstractButton>

// A button that is only its picture on a transparent background: the window's skin shows
// through it. Under the mouse a faint veil marks it; pressed, the veil deepens.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(const QIcon& picture, const QString& hint, QWidget* parent = nullptr);

    // A light veil for dark backgrounds (the title strip), a dark one for light backgrounds.
    void setOnDarkBackground(bool dark);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_onDark = false;
    bool m_hovered = false;
};
