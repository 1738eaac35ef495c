#pragma once

#include <QPushButton>

// The program's push button: a softly rounded face that lights up under the mouse and
// sinks when pressed. An accented button (the main action) is filled in the accent colour.
class SkinnedButton : public QPushButton {
    Q_OBJECT
public:
    explicit SkinnedButton(const QString& caption, QWidget* parent = nullptr);

    void setAccented(bool accented);
    bool isAccented() const { return m_accented; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_accented = false;
    bool m_hovered = false;
};
