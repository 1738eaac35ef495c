#pragma once

#include <QCheckBox>

// A check box that reports a mouse button released over its clickable part, after
// the box has taken the state that the click gives it. Keyboard changes do not report.
class ReleaseNotifyingCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

Q_SIGNALS:
    void mouseReleased();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
