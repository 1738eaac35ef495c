#pragma once

#include <QWidget>

class ActivityLog;
class QPlainTextEdit;
class QPushButton;

// The log viewer: a strip below the main window that shows the activity log as it grows.
class TLogFrm : public QWidget {
    Q_OBJECT
public:
    explicit TLogFrm(ActivityLog& log, QWidget* parent = nullptr);

    QString text() const;

Q_SIGNALS:
    // The "hide" button was pressed after the viewer hid itself.
    void hiddenByUser();

private:
    void appendLine(const QString& line);
    void HBClick();

    QPlainTextEdit* m_log;
    QPushButton* m_hide;
};
