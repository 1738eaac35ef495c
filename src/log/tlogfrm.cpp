#include "log/tlogfrm.h"

#include "log/activitylog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

TLogFrm::TLogFrm(ActivityLog& log, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_log(new QPlainTextEdit(this))
    , m_hide(new QPushButton(QStringLiteral("hide"), this)) {
    setObjectName(QStringLiteral("TLogFrm"));
    setWindowTitle(QStringLiteral("Log viewer"));
    resize(483, 80);
    setStyleSheet(QStringLiteral("TLogFrm { background: white; }"));
    m_log->setObjectName(QStringLiteral("LOG"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_log->setFrameShape(QFrame::NoFrame);
    m_hide->setObjectName(QStringLiteral("HB"));
    m_hide->setToolTip(QStringLiteral("Hide log viewer"));
    m_hide->setFlat(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 10);
    layout->setSpacing(0);
    layout->addWidget(m_hide, 0, Qt::AlignRight);
    layout->addWidget(m_log);

    for (const QString& line : log.lines())
        appendLine(line);
    connect(&log, &ActivityLog::lineAppended, this, &TLogFrm::appendLine);
    connect(m_hide, &QPushButton::clicked, this, &TLogFrm::HBClick);
}

QString TLogFrm::text() const {
    return m_log->toPlainText();
}

void TLogFrm::appendLine(const QString& line) {
    m_log->appendPlainText(line);
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void TLogFrm::HBClick() {
    hide();
    Q_EMIT hiddenByUser();
}
