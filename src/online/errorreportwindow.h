#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ErrorReport;

// The window where every error that no handler dealt with ends: it shows the error's
// message while the program goes on running, and on "Ok" has the report send it to the web
// server.
class ErrorReportWindow : public QDialog {
    Q_OBJECT
public:
    // The report must outlive the window.
    explicit ErrorReportWindow(ErrorReport& report, QWidget* parent = nullptr);

    // The unhandled-error handler: shows the message (not modal) and brings the window up.
    void showError(const QString& message);
    QString errorText() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void EMAILClick();
    void BtOkClick();
    void showConnecting();
    void showSendFailed();

    ErrorReport& m_report;
    QLabel* m_timeLabel;
    QLabel* m_errLabel;
    QLabel* m_osLabel;
    QCheckBox* m_cbEmail;
    QLineEdit* m_email;
    QPushButton* m_btOk;
    QLabel* m_sendStatus;
    bool m_sendFailed = false;
};
