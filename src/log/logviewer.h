#pragma once

#include "log/logtextarea.h"
#include "widgets/skinframe.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class ActivityLog;
class QFrame;
class QPushButton;
class WindowFader;

// The log viewer: a strip below the main window that shows the activity log as it grows.
// It owns its text area, its "hide" button with the panel around it, and Timer1 that
// hides that button again.
class LogViewer : public QWidget {
    Q_OBJECT
public:
    // The "hide" button's panel keeps this far from the right edge.
    static constexpr int kHidePanelFromRight = 76;

    LogViewer(ActivityLog& log, const QString& skinsDir, QWidget* parent = nullptr);

    QString text() const;

    // Where the main window's fading setting is read each time the viewer shows or hides.
    void setFadingSource(std::function<bool()> fading);
    void Fshow();
    void Fhide();

    LogTextArea* LOG() const {
        flushPending();
        return m_log;
    }
    QFrame* HP() const { return m_hidePanel; }
    QPushButton* HB() const { return m_hide; }
    QTimer& Timer1() { return m_timer1; }

    void LOGMouseMove();
    void Timer1Timer();

Q_SIGNALS:
    // The "hide" button was pressed after the viewer hid itself.
    void hiddenByUser();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void appendLine(const QString& line);
    // Lines logged in one go (a long list loading) are laid out once, when the program next waits.
    void flushPending() const;
    void HBClick();
    // The text stays clear of the "hide" button's panel.
    void keepTextClearOfHidePanel();

    SkinFrame m_skin;
    LogTextArea* m_log;
    QFrame* m_hidePanel;
    QPushButton* m_hide;
    QTimer m_timer1;
    mutable QStringList m_pending;
    QTimer m_flush;
    WindowFader* m_fader;
    std::function<bool()> m_fading = [] {
        return false;
    };
};
