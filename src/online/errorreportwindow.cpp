#include "online/errorreportwindow.h"

#include "log/timestamp.h"
#include "online/errorreport.h"
#include "platform/systeminfo.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ErrorReportWindow::ErrorReportWindow(ErrorReport& report, QWidget* parent)
    : QDialog(parent)
    , m_report(report)
    , m_timeLabel(new QLabel(QStringLiteral("Date/time"), this))
    , m_errLabel(new QLabel(QStringLiteral("Unknown error"), this))
    , m_osLabel(new QLabel(QStringLiteral("OSLabel"), this))
    , m_cbEmail(new QCheckBox(QStringLiteral("E-mail:"), this))
    , m_email(new QLineEdit(this))
    , m_btOk(new QPushButton(QStringLiteral("Ok"), this))
    , m_sendStatus(new QLabel(this)) {
    setObjectName(QStringLiteral("ErrorReportWindow"));
    setWindowTitle(QStringLiteral("Veltrane Error Report"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    setFixedSize(351, 247);

    auto* title = new QLabel(QStringLiteral("Exception report"), this);
    title->setObjectName(QStringLiteral("Label3"));
    title->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    // The error's message and the system's description are not our text: never rich text.
    for (QLabel* foreign : {m_timeLabel, m_errLabel, m_osLabel}) {
        foreign->setTextFormat(Qt::PlainText);
        foreign->setOpenExternalLinks(false);
    }
    m_timeLabel->setObjectName(QStringLiteral("TimeLabel"));
    m_timeLabel->setAlignment(Qt::AlignRight);
    auto* intro =
        new QLabel(QStringLiteral("An error has occurred. We apologize for the inconvenience. To find the "
                                  "cause of this error, we ask you to submit the following:"),
                   this);
    intro->setObjectName(QStringLiteral("Label4"));
    intro->setWordWrap(true);
    m_errLabel->setObjectName(QStringLiteral("ErrLabel"));
    m_errLabel->setWordWrap(true);
    m_errLabel->setStyleSheet(QStringLiteral("font-weight: bold;"));
    m_errLabel->setMaximumHeight(40);
    m_errLabel->setMinimumWidth(300);
    auto* contact =
        new QLabel(QStringLiteral("If you wish to be contacted about this error, you can also provide "
                                  "your email address. It will be kept confidential."),
                   this);
    contact->setObjectName(QStringLiteral("Label1"));
    contact->setWordWrap(true);
    m_cbEmail->setObjectName(QStringLiteral("cbEMAIL"));
    m_email->setObjectName(QStringLiteral("EMAIL"));
    m_email->installEventFilter(this);
    m_btOk->setObjectName(QStringLiteral("BtOk"));
    m_btOk->setToolTip(QStringLiteral("We thank you for your cooperation."));
    connect(m_btOk, &QPushButton::clicked, this, &ErrorReportWindow::BtOkClick);
    m_sendStatus->setObjectName(QStringLiteral("SendStatus"));
    m_sendStatus->setStyleSheet(QStringLiteral("color: red;"));
    m_sendStatus->hide();
    connect(&m_report, &ErrorReport::sendingStarted, this, &ErrorReportWindow::showConnecting);
    connect(&m_report, &ErrorReport::sendFailed, this, &ErrorReportWindow::showSendFailed);
    m_osLabel->setObjectName(QStringLiteral("OSLabel"));
    m_osLabel->setVisible(false);

    auto* header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_timeLabel);
    auto* mail = new QHBoxLayout;
    mail->addWidget(m_cbEmail);
    mail->addWidget(m_email);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(intro);
    layout->addWidget(m_errLabel);
    layout->addWidget(contact);
    layout->addLayout(mail);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_sendStatus, 1);
    buttons->addWidget(m_btOk, 0, Qt::AlignRight);
    layout->addLayout(buttons);
}

void ErrorReportWindow::showError(const QString& message) {
    m_errLabel->setText(message);
    // After a report that could not be sent, the new error can be reported again.
    if (m_sendFailed) {
        m_sendFailed = false;
        m_sendStatus->hide();
        m_btOk->setText(QStringLiteral("Ok"));
        m_btOk->setEnabled(true);
    }
    show();
    raise();
    activateWindow();
}

QString ErrorReportWindow::errorText() const {
    return m_errLabel->text();
}

void ErrorReportWindow::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void ErrorReportWindow::FormShow() {
    m_timeLabel->setText(Timestamp::text(QDateTime::currentDateTime()));
    m_osLabel->setText(platform::SystemInfo::osDescription());
}

bool ErrorReportWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_email && event->type() == QEvent::MouseButtonPress)
        EMAILClick();
    return QDialog::eventFilter(watched, event);
}

void ErrorReportWindow::EMAILClick() {
    m_cbEmail->setChecked(true);
}

void ErrorReportWindow::BtOkClick() {
    if (m_sendFailed) {
        hide();
        return;
    }
    m_report.send(m_errLabel->text(),
                  m_cbEmail->isChecked() ? std::optional(m_email->text()) : std::optional<QString>());
}

void ErrorReportWindow::showConnecting() {
    m_btOk->setText(QStringLiteral("Connecting..."));
    m_btOk->setEnabled(false);
}

void ErrorReportWindow::showSendFailed() {
    // Say so and let the user close the window, instead of "Connecting..." for ever.
    m_sendFailed = true;
    m_sendStatus->setText(QStringLiteral("The report could not be sent."));
    m_sendStatus->show();
    m_btOk->setText(QStringLiteral("Close"));
    m_btOk->setEnabled(true);
}
