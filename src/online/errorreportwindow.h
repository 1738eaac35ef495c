#pragma once

#include "log/eventmarker.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class HttpFetch;
class UserPrompts;

// The window where every error that no handler dealt with ends: it shows the error's
// message while the program goes on running, and on "Ok" sends a report of it to the web
// server. Owns the event marker and the fetch component HTTP.
class ErrorReportWindow : public QDialog {
    Q_OBJECT
public:
    explicit ErrorReportWindow(QWidget* parent = nullptr);

    EventMarker& marker() { return m_marker; }
    // The unhandled-error handler: shows the message (not modal) and brings the window up.
    void showError(const QString& message);
    QString errorText() const;
    // What sending needs: the prompts that show the server's answer, and how the program
    // ends once the answer has been read.
    void setReporting(UserPrompts* prompts, std::function<void()> endProgram);
    HttpFetch* HTTP() const { return m_http; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void EMAILClick();
    void BtOkClick();
    void HTTPDoneString(const QString& answer);
    void HTTPError();
    QString reportQuery() const;

    EventMarker m_marker;
    QLabel* m_timeLabel;
    QLabel* m_errLabel;
    QLabel* m_osLabel;
    QCheckBox* m_cbEmail;
    QLineEdit* m_email;
    QPushButton* m_btOk;
    QLabel* m_sendStatus;
    HttpFetch* m_http;
    UserPrompts* m_prompts = nullptr;
    std::function<void()> m_endProgram;
    bool m_sendFailed = false;
};
