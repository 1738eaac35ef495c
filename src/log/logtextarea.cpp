#include "log/logtextarea.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>

LogTextArea::LogTextArea(QWidget* parent)
    : QPlainTextEdit(parent) {
    QScrollBar* bar = verticalScrollBar();
    // Wheel, keys, the bar's arrows and its handle all come here; relayouts do not.
    connect(bar, &QScrollBar::actionTriggered, this, &LogTextArea::userScrolled);
    connect(bar, &QScrollBar::rangeChanged, this, &LogTextArea::scrollToEndIfFollowing);
}

void LogTextArea::appendLines(const QString& lines) {
    // Appending keeps the cost of a line independent of how long the log already is.
    appendPlainText(lines);
    scrollToEndIfFollowing();
}

void LogTextArea::keepRightFree(int pixels) {
    pixels = qMax(0, pixels);
    if (pixels == m_rightFree)
        return;
    m_rightFree = pixels;
    setViewportMargins(0, 0, pixels, 0);
}

void LogTextArea::userScrolled() {
    // The handle has already moved when the action is reported; the value follows afterwards.
    const QScrollBar* bar = verticalScrollBar();
    m_follow = bar->sliderPosition() >= bar->maximum();
}

void LogTextArea::scrollToEndIfFollowing() {
    if (!m_follow || m_scrolling)
        return;
    m_scrolling = true;
    // The scroll range counts one line for every block not laid out yet, and new lines or a new
    // width leave the last blocks so: lay out what fills the view from the bottom, then let the
    // range be counted again before going to its end.
    qreal filled = 0;
    for (QTextBlock block = document()->lastBlock(); block.isValid() && filled <= viewport()->height();
         block = block.previous())
        filled += blockBoundingRect(block).height();
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    Q_EMIT layout->documentSizeChanged(layout->documentSize());
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_scrolling = false;
}

void LogTextArea::resizeEvent(QResizeEvent* event) {
    // A new width wraps the lines again, and the text keeps its first visible line by itself.
    QPlainTextEdit::resizeEvent(event);
    scrollToEndIfFollowing();
}

void LogTextArea::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    scrollToEndIfFollowing();
}

bool LogTextArea::lastLineInSight() const {
    const QTextBlock last = document()->lastBlock();
    const qreal bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF shown = blockBoundingGeometry(block).translated(contentOffset());
        if (block == last) {
            const QTextLayout* lines = block.layout();
            if (lines->lineCount() == 0)
                return false;
            const QRectF line = lines->lineAt(lines->lineCount() - 1).rect().translated(shown.topLeft());
            return line.top() >= 0 && line.bottom() <= bottom;
        }
        if (shown.top() > bottom)
            return false;
    }
    return false;
}
