#include "app/tpopfrm.h"

#include <QContextMenuEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>

namespace {

constexpr int kStatusWidth = 162;

QToolButton* makeButton(QWidget* parent, const char* name, const QString& hint, QStyle::StandardPixmap icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    button->setFixedSize(24, 24);
    return button;
}

} // namespace

TPopFrm::TPopFrm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_menu(makeButton(this, "btMenu", QStringLiteral("open the main menu"), QStyle::SP_TitleBarMenuButton))
    , m_status(new QLabel(QStringLiteral("Quoralis2005 loaded"), this))
    , m_bar(new QProgressBar(this))
    , m_backup(makeButton(this, "btBackup", QStringLiteral("Make backup now"), QStyle::SP_DialogSaveButton))
    , m_cancel(makeButton(this, "btCancel", QStringLiteral("Cancel operation"), QStyle::SP_BrowserStop))
    , m_close(
          makeButton(this, "btClose", QStringLiteral("Close Quoralis2005"), QStyle::SP_TitleBarCloseButton)) {
    setObjectName(QStringLiteral("TPopFrm"));
    setWindowTitle(QStringLiteral("Quoralis2005"));
    setFixedSize(260, 30);
    setStyleSheet(QStringLiteral("TPopFrm { background: #eef3fb; border: 1px solid #7a9cc6; }"));

    m_status->setObjectName(QStringLiteral("RTL"));
    m_status->setMaximumWidth(kStatusWidth);
    m_bar->setObjectName(QStringLiteral("PBar"));
    m_bar->setFixedSize(157, 6);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 100);
    m_bar->setVisible(false);
    m_cancel->setVisible(false);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(3, 2, 3, 2);
    layout->setSpacing(1);
    layout->addWidget(m_menu, 0, 0, 2, 1);
    layout->addWidget(m_status, 0, 1);
    layout->addWidget(m_bar, 1, 1);
    layout->setColumnStretch(1, 1);
    layout->addWidget(m_backup, 0, 2, 2, 1);
    layout->addWidget(m_cancel, 0, 2, 2, 1);
    layout->addWidget(m_close, 0, 3, 2, 1);

    connect(m_menu, &QToolButton::clicked, this,
            [this] { Q_EMIT menuRequested(m_menu->mapToGlobal(QPoint(0, 28))); });
}

void TPopFrm::setStatus(const QString& message) {
    m_status->setText(message);
    m_status->setToolTip(message);
    setToolTip(message);
}

QString TPopFrm::status() const {
    return m_status->text();
}

void TPopFrm::mouseDoubleClickEvent(QMouseEvent* event) {
    Q_EMIT backgroundDoubleClicked();
    event->accept();
}

void TPopFrm::contextMenuEvent(QContextMenuEvent* event) {
    Q_EMIT menuRequested(event->globalPos());
    event->accept();
}
