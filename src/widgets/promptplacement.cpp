#include "widgets/promptplacement.h"

#include "widgets/screenfit.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

bool showing(const QWidget* window) {
    return window && window->isVisible() && !window->isMinimized();
}

bool alwaysOnTop(const QWidget* window) {
    return window->windowFlags() & Qt::WindowStaysOnTopHint;
}

QList<QWidget*> shownOnTopWindows(const QWidget* except) {
    QList<QWidget*> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != except && showing(window) && alwaysOnTop(window))
            windows.append(window);
    return windows;
}

} // namespace

PromptPlacement::PromptPlacement(QWidget* dialog, QWidget* asker)
    : QObject(dialog)
    , m_asker(asker) {
    dialog->installEventFilter(this);
}

QWidget* PromptPlacement::askingWindow(QWidget* fallback) {
    QWidget* active = QApplication::activeWindow();
    if (showing(active) && !(active->windowFlags() & Qt::Popup))
        return active;
    if (showing(fallback))
        return fallback->window();
    const QList<QWidget*> onTop = shownOnTopWindows(nullptr);
    return onTop.isEmpty() ? nullptr : onTop.constFirst();
}

void PromptPlacement::apply(QWidget* dialog, QWidget* fallback) {
    QWidget* asker = askingWindow(fallback);
    if (asker && asker != dialog->parentWidget())
        dialog->setParent(asker, dialog->windowFlags());
    // Under an always-on-top window the box could hide its own buttons.
    if (!shownOnTopWindows(dialog).isEmpty())
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    new PromptPlacement(dialog, asker);
}

QRect PromptPlacement::clearOf(const QRect& box, const QRect& obstacle, const QRect& area) {
    if (!box.intersects(obstacle))
        return box;
    // Room for the border the window manager may still add around the box.
    constexpr int gap = 8;
    QRect above = box;
    above.moveBottom(obstacle.top() - 1 - gap);
    if (above.top() >= area.top())
        return above;
    QRect below = box;
    below.moveTop(obstacle.bottom() + 1 + gap);
    if (below.bottom() <= area.bottom())
        return below;
    return box;
}

bool PromptPlacement::eventFilter(QObject* watched, QEvent* event) {
    auto* dialog = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show) {
        // A box still takes its size for its text while it shows: it is placed again then.
        m_showing = true;
        QTimer::singleShot(0, this, [this] { m_showing = false; });
        place(dialog);
    } else if (event->type() == QEvent::Resize && m_showing) {
        place(dialog);
    }
    return QObject::eventFilter(watched, event);
}

void PromptPlacement::place(QWidget* dialog) const {
    QRect box = dialog->frameGeometry();
    if (showing(m_asker) && m_asker != dialog)
        box.moveCenter(m_asker->frameGeometry().center());
    const QRect area = ScreenFit::availableFor(box);
    box = ScreenFit::within(box, area);
    for (const QWidget* onTop : shownOnTopWindows(dialog))
        box = ScreenFit::within(clearOf(box, onTop->frameGeometry(), area), area);
    if (box.topLeft() != dialog->pos())
        dialog->move(box.topLeft());
}
