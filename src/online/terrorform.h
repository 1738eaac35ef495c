#pragma once

#include "log/eventmarker.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The window where every error that no handler dealt with ends: it shows the error's
// message while the program goes on running. Owns the event marker.
class TErrorForm : public QDialog {
    Q_OBJECT
public:
    explicit TErrorForm(QWidget* parent = nullptr);

    EventMarker& marker() { return m_marker; }
    // The unhandled-error handler: shows the message (not modal) and brings the window up.
    void showError(const QString& message);
    QString errorText() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void EMAILClick();

    EventMarker m_marker;
    QLabel* m_timeLabel;
    QLabel* m_errLabel;
    QLabel* m_osLabel;
    QCheckBox* m_cbEmail;
    QLineEdit* m_email;
    QPushButton* m_btOk;
};
