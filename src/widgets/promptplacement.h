#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

// Where a question or notice opens: parented to the window that asked, centred on it, above
// the program's always-on-top windows and clear of them, wholly on a screen.
class PromptPlacement : public QObject {
    Q_OBJECT
public:
    // The window a box opened now belongs to: the active one, else the fallback when it shows,
    // else a shown always-on-top window; null when none of the program's windows shows.
    static QWidget* askingWindow(QWidget* fallback);
    // Parents the dialog to the asking window and places it each time it shows; owned by the dialog.
    static void apply(QWidget* dialog, QWidget* fallback);
    // box moved off the obstacle (above it, else below it, with a small gap) when they overlap.
    static QRect clearOf(const QRect& box, const QRect& obstacle, const QRect& area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PromptPlacement(QWidget* dialog, QWidget* asker);
    void place(QWidget* dialog) const;

    QPointer<QWidget> m_asker;
    bool m_showing = false;
};
