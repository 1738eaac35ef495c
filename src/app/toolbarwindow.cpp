#include "app/toolbarwindow.h"
#include "widgets/plaintooltip.h"

#include <utility>

#include "widgets/glyphicon.h"
#include "widgets/picturebutton.h"
#include "widgets/shortenedpath.h"
#include "widgets/skinpalette.h"
#include "widgets/windowfader.h"
#include "widgets/windowmover.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

constexpr int kStatusWidth = 162;

PictureButton* makeButton(QWidget* parent, const char* name, const QString& hint, GlyphIcon::Glyph glyph,
                          const QColor& colour) {
    auto* button = new PictureButton(GlyphIcon::make(glyph, colour), hint, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(22, 22);
    return button;
}

} // namespace

ToolbarWindow::ToolbarWindow(const QString& skinsDir, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_skin(skinsDir, QStringLiteral("toolbar"), QMargins(28, 3, 3, 3))
    , m_menu(
          makeButton(this, "btMenu", QStringLiteral("open the main menu"), GlyphIcon::Glyph::Menu, Qt::white))
    , m_status(new QLabel(QStringLiteral("Quoralis2005 loaded"), this))
    , m_bar(new QProgressBar(this))
    , m_backup(makeButton(this, "btBackup", QStringLiteral("Make backup now"), GlyphIcon::Glyph::Backup,
                          SkinPalette::accent()))
    , m_cancel(makeButton(this, "btCancel", QStringLiteral("Cancel operation"), GlyphIcon::Glyph::Cancel,
                          SkinPalette::text()))
    , m_close(makeButton(this, "btClose", QStringLiteral("Close Quoralis2005"), GlyphIcon::Glyph::Close,
                         SkinPalette::text()))
    , m_fader(new WindowFader(this))
    , m_mover(new WindowMover(this)) {
    setObjectName(QStringLiteral("ToolbarWindow"));
    setWindowTitle(QStringLiteral("Quoralis2005"));
    setFixedSize(kWidth, kHeight);
    m_skin.setFallbackColours(SkinPalette::background(), SkinPalette::titleStrip());
    setPalette(SkinPalette::windowPalette());
    m_menu->setOnDarkBackground(true);

    m_status->setObjectName(QStringLiteral("RTL"));
    // Log lines hold file names and server answers: never markup.
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMaximumWidth(kStatusWidth);
    m_bar->setObjectName(QStringLiteral("PBar"));
    m_bar->setFixedSize(157, 6);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 100);
    m_bar->setStyleSheet(QStringLiteral("QProgressBar { background: silver; border: none; }"
                                        "QProgressBar::chunk { background: rgb(83, 169, 255); }"));
    m_bar->setVisible(false);
    m_cancel->setVisible(false);

    // The status line sits in the middle of the strip, the thin bar just below it.
    auto* statusColumn = new QVBoxLayout;
    statusColumn->setSpacing(1);
    statusColumn->addStretch();
    statusColumn->addWidget(m_status);
    statusColumn->addWidget(m_bar);
    statusColumn->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 2, 4, 2);
    layout->setSpacing(6);
    layout->addWidget(m_menu);
    layout->addLayout(statusColumn, 1);
    layout->addWidget(m_backup);
    layout->addWidget(m_cancel);
    layout->addWidget(m_close);

    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(0);
    connect(&m_statusTimer, &QTimer::timeout, this, &ToolbarWindow::showPendingStatus);

    m_mover->watch(this);
    connect(m_mover, &WindowMover::moveFinished, this, [this] { Q_EMIT dropped(pos()); });
    connect(m_menu, &PictureButton::clicked, this,
            [this] { Q_EMIT menuRequested(pos() + m_menu->pos() + QPoint(0, 28)); });
}

void ToolbarWindow::setStatus(const QString& message) {
    // Only the last of many messages in one go is ever seen; it is shown when the program next waits.
    m_pendingStatus = message;
    if (!m_statusTimer.isActive())
        m_statusTimer.start();
}

void ToolbarWindow::showPendingStatus() const {
    if (!m_pendingStatus)
        return;
    const QString message = *std::exchange(m_pendingStatus, std::nullopt);
    m_fullStatus = message;
    // Cut text ends in an ellipsis, so that it never reads as a whole line.
    m_status->setText(m_status->fontMetrics().elidedText(message, Qt::ElideRight, kStatusWidth));
    m_status->setToolTip(PlainToolTip::of(message));
    const_cast<ToolbarWindow*>(this)->setToolTip(PlainToolTip::of(
        m_backupSummary.isEmpty() ? message : message + QLatin1Char('\n') + m_backupSummary));
}

void ToolbarWindow::setBackupSummary(const QString& summary) {
    m_backupSummary = summary;
    setToolTip(
        PlainToolTip::of(m_fullStatus.isEmpty() ? summary : m_fullStatus + QLatin1Char('\n') + summary));
}

QString ToolbarWindow::statusText() const {
    showPendingStatus();
    return m_fullStatus.isNull() ? m_status->text() : m_fullStatus;
}

void ToolbarWindow::showPath(const QString& path) {
    showPendingStatus();
    // The status line is as wide as the text it shows now.
    const int width = qMin(kStatusWidth, m_status->fontMetrics().horizontalAdvance(m_status->text()));
    m_fullStatus = path;
    m_status->setText(ShortenedPath::fit(path, m_status->fontMetrics(), width));
}

void ToolbarWindow::setCancelShown(bool shown) {
    m_cancel->setVisible(shown);
    m_backup->setVisible(!shown);
}

void ToolbarWindow::setFadingSource(std::function<bool()> fading) {
    m_fading = std::move(fading);
}

void ToolbarWindow::showFaded() {
    m_fader->show(m_fading());
    raise();
}

void ToolbarWindow::hideFaded() {
    m_fader->hide(m_fading());
}

void ToolbarWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_skin.paint(painter, rect());
}

void ToolbarWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    Q_EMIT backgroundDoubleClicked();
    event->accept();
}

void ToolbarWindow::contextMenuEvent(QContextMenuEvent* event) {
    Q_EMIT menuRequested(event->globalPos());
    event->accept();
}
