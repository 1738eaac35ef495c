#include "log/logviewer.h"

#include "log/activitylog.h"
#include "log/logtextarea.h"
#include "widgets/skinpalette.h"
#include "widgets/windowfader.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

LogViewer::LogViewer(ActivityLog& log, const QString& skinsDir, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_skin(skinsDir, QStringLiteral("log"), QMargins(10, 10, 10, 10))
    , m_log(new LogTextArea(this))
    , m_hidePanel(new QFrame(this))
    , m_hide(new QPushButton(QStringLiteral("hide"), m_hidePanel))
    , m_fader(new WindowFader(this)) {
    setObjectName(QStringLiteral("LogViewer"));
    setWindowTitle(QStringLiteral("Log viewer"));
    resize(483, 80);
    m_skin.setFallbackColours(Qt::white, QColor(0xc9, 0xd3, 0xdf));
    setPalette(SkinPalette::windowPalette(Qt::white));
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSize(8);
    setFont(verdana);

    m_log->setObjectName(QStringLiteral("LOG"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setFrameShape(QFrame::NoFrame);
    m_log->setMinimumHeight(40);
    m_log->viewport()->setMouseTracking(true);
    m_log->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(m_skin.borders());
    layout->addWidget(m_log);

    m_hidePanel->setObjectName(QStringLiteral("HP"));
    m_hidePanel->setAutoFillBackground(true);
    m_hide->setObjectName(QStringLiteral("HB"));
    m_hide->setToolTip(QStringLiteral("Hide log viewer"));
    m_hide->setFlat(true);
    m_hide->setCursor(Qt::PointingHandCursor);
    m_hide->setStyleSheet(QStringLiteral(
        "QPushButton { color: #3d7bd9; background: transparent; border: none; padding: 0 4px; }"
        "QPushButton:hover { text-decoration: underline; }"));
    auto* panelLayout = new QHBoxLayout(m_hidePanel);
    panelLayout->setContentsMargins(2, 1, 2, 1);
    panelLayout->addWidget(m_hide);
    m_hidePanel->adjustSize();
    m_hidePanel->raise();

    m_timer1.setInterval(2000);
    connect(&m_timer1, &QTimer::timeout, this, &LogViewer::Timer1Timer);
    m_timer1.start();

    m_flush.setSingleShot(true);
    m_flush.setInterval(0);
    connect(&m_flush, &QTimer::timeout, this, &LogViewer::flushPending);
    for (const QString& line : log.lines())
        appendLine(line);
    connect(&log, &ActivityLog::lineAppended, this, &LogViewer::appendLine);
    connect(m_hide, &QPushButton::clicked, this, &LogViewer::HBClick);
}

QString LogViewer::text() const {
    flushPending();
    return m_log->toPlainText();
}

void LogViewer::setFadingSource(std::function<bool()> fading) {
    m_fading = std::move(fading);
}

void LogViewer::Fshow() {
    m_fader->show(m_fading());
}

void LogViewer::Fhide() {
    m_fader->hide(m_fading());
}

void LogViewer::appendLine(const QString& line) {
    m_pending.append(line);
    if (!m_flush.isActive())
        m_flush.start();
}

void LogViewer::flushPending() const {
    if (m_pending.isEmpty())
        return;
    m_log->appendLines(m_pending.join(QLatin1Char('\n')));
    m_pending.clear();
}

void LogViewer::HBClick() {
    Fhide();
    Q_EMIT hiddenByUser();
}

void LogViewer::LOGMouseMove() {
    m_hidePanel->setVisible(true);
    if (!m_timer1.isActive())
        m_timer1.start();
    if (isVisible())
        m_log->setFocus();
}

void LogViewer::Timer1Timer() {
    m_hidePanel->setVisible(false);
    m_timer1.stop();
}

void LogViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_skin.paint(painter, rect());
}

void LogViewer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_hidePanel->move(width() - kHidePanelFromRight, 2);
    keepTextClearOfHidePanel();
}

void LogViewer::keepTextClearOfHidePanel() {
    // The layout has placed the text area already; the scroll bar stays where it is.
    const int barWidth =
        m_log->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_log->verticalScrollBar());
    const int textRight = m_log->geometry().right() - m_log->frameWidth() - barWidth;
    m_log->keepRightFree(textRight - m_hidePanel->x() + 2);
}

bool LogViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_log->viewport() && event->type() == QEvent::MouseMove)
        LOGMouseMove();
    return QWidget::eventFilter(watched, event);
}
