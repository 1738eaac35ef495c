#pragma once

#include "widgets/skinframe.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class PictureButton;
class WindowFader;
class WindowMover;

// The toolbar window: a small always-on-top strip that stands in for the main window
// in toolbar mode and shows the progress of a backup while the main window is hidden.
// It is dragged by its background and fades with the main window's fading setting.
class ToolbarWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 30;

    explicit ToolbarWindow(const QString& skinsDir, QWidget* parent = nullptr);

    // The status line shows the message and its tooltip holds it whole.
    void setStatus(const QString& message);
    QString statusText() const;
    void showPendingStatus() const;
    // How the last backup ended, in a few words: the second line of the window's tooltip.
    void setBackupSummary(const QString& summary);
    // A file name, shortened in the middle where the line is too narrow for it.
    void showPath(const QString& path);
    // During a backup Cancel stands where the backup button was.
    void setCancelShown(bool shown);

    // Where the fading setting is read each time the window shows or hides.
    void setFadingSource(std::function<bool()> fading);
    void showFaded();
    void hideFaded();

    QLabel* RTL() const {
        showPendingStatus();
        return m_status;
    }
    QProgressBar* PBar() const { return m_bar; }
    PictureButton* backupButton() const { return m_backup; }
    PictureButton* cancelButton() const { return m_cancel; }
    PictureButton* menuButton() const { return m_menu; }
    PictureButton* closeButton() const { return m_close; }
    WindowMover* mover() const { return m_mover; }

Q_SIGNALS:
    void menuRequested(const QPoint& globalPos);
    void backgroundDoubleClicked();
    // The window was dragged and dropped here.
    void dropped(const QPoint& topLeft);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    SkinFrame m_skin;
    PictureButton* m_menu;
    QLabel* m_status;
    mutable std::optional<QString> m_pendingStatus;
    mutable QString m_fullStatus;
    QString m_backupSummary;
    QTimer m_statusTimer;
    QProgressBar* m_bar;
    PictureButton* m_backup;
    PictureButton* m_cancel;
    PictureButton* m_close;
    WindowFader* m_fader;
    WindowMover* m_mover;
    std::function<bool()> m_fading = [] {
        return false;
    };
};
