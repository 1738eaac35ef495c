#pragma once

#include <QPlainTextEdit>

// The text of the log viewer. It keeps the newest line in sight unless the user has scrolled away
// from it, also when a new width wraps the lines again, and can keep a strip at its right free of
// text for a control that sits over it.
class LogTextArea : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogTextArea(QWidget* parent = nullptr);

    void appendLines(const QString& lines);
    // No text is laid out in the last `pixels` before the scroll bar.
    void keepRightFree(int pixels);
    // False once the user has scrolled up from the newest line, true again when they scroll back.
    bool followsEnd() const { return m_follow; }
    // The last line is shown whole, as the text is painted now.
    bool lastLineInSight() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void userScrolled();
    void scrollToEndIfFollowing();

    bool m_follow = true;
    int m_rightFree = 0;
    bool m_scrolling = false;
};
