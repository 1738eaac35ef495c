#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;

// The toolbar window: a small always-on-top strip that stands in for the main window
// in toolbar mode and shows the progress of a backup while the main window is hidden.
class TPopFrm : public QWidget {
    Q_OBJECT
public:
    explicit TPopFrm(QWidget* parent = nullptr);

    // The status line shows the message and its tooltip holds it whole.
    void setStatus(const QString& message);
    QString status() const;

    QLabel* RTL() const { return m_status; }
    QProgressBar* PBar() const { return m_bar; }
    QToolButton* backupButton() const { return m_backup; }
    QToolButton* cancelButton() const { return m_cancel; }
    QToolButton* menuButton() const { return m_menu; }
    QToolButton* closeButton() const { return m_close; }

Q_SIGNALS:
    void menuRequested(const QPoint& globalPos);
    void backgroundDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QToolButton* m_menu;
    QLabel* m_status;
    QProgressBar* m_bar;
    QToolButton* m_backup;
    QToolButton* m_cancel;
    QToolButton* m_close;
};
