#include "app/mainwindowui.h"

#include "widgets/glyphicon.h"
#include "widgets/picturebutton.h"
#include "widgets/skinnedbutton.h"
#include "widgets/skinpalette.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

using Glyph = GlyphIcon::Glyph;

PictureButton* titleButton(QWidget* parent, const char* name, const QString& hint, Glyph glyph) {
    auto* button = new PictureButton(GlyphIcon::make(glyph, Qt::white), hint, parent);
    button->setObjectName(QLatin1String(name));
    button->setOnDarkBackground(true);
    button->setFixedSize(21, 21);
    return button;
}

SkinnedButton* pushButton(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
    auto* button = new SkinnedButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    return button;
}

QFrame* panel(QWidget* parent, const char* name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    // Under a style sheet the window's palette no longer reaches the panel's text: it sets its own.
    frame->setStyleSheet(
        QStringLiteral("QFrame#%1 { background: white; border: 1px solid #b9c5d4; border-radius: 4px; }"
                       "#%1 QLabel { color: %2; }")
            .arg(QLatin1String(name), SkinPalette::text().name()));
    frame->setVisible(false);
    return frame;
}

} // namespace

void MainWindowUi::setup(QWidget* window, const QMargins& frame) {
    titleStrip = new QWidget(window);
    titleStrip->setObjectName(QStringLiteral("ITBM"));
    titleStrip->setFixedHeight(kTitleHeight);
    btMenu = titleButton(titleStrip, "btMenu", QStringLiteral("open the main menu"), Glyph::Menu);
    titleLabel = new QLabel(QStringLiteral("Quoralis2005"), titleStrip);
    titleLabel->setObjectName(QStringLiteral("TitleLabel"));
    titleLabel->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
    titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    btHelp = titleButton(titleStrip, "btHelp", QStringLiteral("Help"), Glyph::Help);
    btHide = titleButton(titleStrip, "btHide", QStringLiteral("Minimize to tray"), Glyph::Minimize);
    btClose = titleButton(titleStrip, "btClose", QStringLiteral("Close Quoralis2005"), Glyph::Close);
    auto* titleLayout = new QHBoxLayout(titleStrip);
    titleLayout->setContentsMargins(frame.left(), 1, frame.right(), 2);
    titleLayout->setSpacing(2);
    titleLayout->addWidget(btMenu);
    titleLayout->addSpacing(4);
    titleLayout->addWidget(titleLabel, 1);
    titleLayout->addWidget(btHelp);
    titleLayout->addWidget(btHide);
    titleLayout->addWidget(btClose);

    foldersLabel = new QLabel(QStringLiteral("Folders selected for backup:"), window);
    TimerLabel = new QLabel(QStringLiteral("0:00"), window);
    TimerLabel->setObjectName(QStringLiteral("TimerLabel"));
    TimerLabel->setToolTip(QStringLiteral("Countdown till the next backup"));
    TimerLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TimerLabel->setVisible(false);
    auto* listHeader = new QHBoxLayout;
    listHeader->addWidget(foldersLabel);
    listHeader->addStretch();
    listHeader->addWidget(TimerLabel);
    listArea = new QVBoxLayout;
    listArea->addLayout(listHeader);

    buttonColumn = new QWidget(window);
    buttonColumn->setObjectName(QStringLiteral("ButtonColumn"));
    btSettings = pushButton(buttonColumn, "btSettings", QStringLiteral("Settings"),
                            QStringLiteral("Change configuration"));
    btAdd = pushButton(buttonColumn, "btAdd", QStringLiteral("Add folder"),
                       QStringLiteral("Add a folder to the list"));
    btRemove = pushButton(buttonColumn, "btRemove", QStringLiteral("Remove"),
                          QStringLiteral("Remove selected folder(s) from the list"));
    btClear = pushButton(buttonColumn, "btClear", QStringLiteral("Clear"),
                         QStringLiteral("Remove all folders from the list"));
    btExclude = pushButton(buttonColumn, "btExclude", QStringLiteral("Exclude..."),
                           QStringLiteral("Allows you to set a list of folders to ignore"));
    btRecalc = pushButton(buttonColumn, "btRecalc", QString(), QStringLiteral("Recalculate folder size"));
    btRecalc->setIcon(GlyphIcon::make(Glyph::Recalculate, SkinPalette::text()));
    btBackup = pushButton(buttonColumn, "btBackup", QStringLiteral("Backup!"),
                          QStringLiteral("Make backup now, right click for options"));
    btBackup->setAccented(true);
    btBackup->setMinimumHeight(40);
    QFont bold = btBackup->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    btBackup->setFont(bold);
    btBackup->setContextMenuPolicy(Qt::CustomContextMenu);
    btRestore = pushButton(
        buttonColumn, "btRestore", QStringLiteral("Restore"),
        QStringLiteral("Open backup destination folder\nRight-click: get files back from a backup"));
    btVersion = pushButton(buttonColumn, "btVersion", QStringLiteral("v. "),
                           QStringLiteral("Check for newer version"));
    auto* buttons = new QVBoxLayout(buttonColumn);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(3);
    for (SkinnedButton* b :
         {btSettings, btAdd, btRemove, btClear, btExclude, btRecalc, btBackup, btRestore, btVersion})
        buttons->addWidget(b);
    buttons->addStretch();
    buttonColumn->setFixedWidth(104);

    TotalLabel = new QLabel(window);
    TotalLabel->setObjectName(QStringLiteral("TotalLabel"));
    TotalLabel->setTextFormat(Qt::PlainText);
    TotalLabel->setFixedWidth(260);
    btResize = new PictureButton(GlyphIcon::make(Glyph::Resize, SkinPalette::titleStrip(), 12),
                                 QStringLiteral("Resize window"), window);
    btResize->setObjectName(QStringLiteral("btResize"));
    btResize->setIconSize(QSize(12, 12));
    btResize->setFixedSize(16, 16);
    btResize->setCursor(Qt::SizeFDiagCursor);
    backupStatusLabel = new QLabel(window);
    backupStatusLabel->setObjectName(QStringLiteral("BackupStatusLabel"));
    backupStatusLabel->setTextFormat(Qt::PlainText);
    // Its text must not widen the window; the whole of it is in the tooltip.
    backupStatusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(TotalLabel);
    bottom->addStretch();
    bottom->addWidget(btResize, 0, Qt::AlignBottom);

    WaitPanel = panel(window, "WaitPanel");
    auto* waitLayout = new QVBoxLayout(WaitPanel);
    auto* waitPicture = new QLabel(WaitPanel);
    waitPicture->setPixmap(GlyphIcon::make(Glyph::Recalculate, SkinPalette::accent(), 32).pixmap(32, 32));
    waitLayout->addWidget(waitPicture, 0, Qt::AlignCenter);

    PPanel = panel(window, "PPanel");
    PPanel->setFixedSize(199, 53);
    PLabel = new QLabel(QStringLiteral("Backup in progress..."), PPanel);
    PLabel->setObjectName(QStringLiteral("PLabel"));
    PLabel->setStyleSheet(QStringLiteral("border: none;"));
    PBar = new QProgressBar(PPanel);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, 100);
    PBar->setFixedSize(117, 14);
    PBar->setAlignment(Qt::AlignCenter);
    PBar->setStyleSheet(
        QStringLiteral("QProgressBar { background: white; color: %1; border: 1px solid #b9c5d4; }"
                       "QProgressBar::chunk { background: rgb(83, 169, 255); }")
            .arg(SkinPalette::text().name()));
    btCancel = pushButton(PPanel, "btCancel", QString(), QStringLiteral("Cancel operation"));
    btCancel->setIcon(GlyphIcon::make(Glyph::Cancel, SkinPalette::text()));
    auto* progressLayout = new QGridLayout(PPanel);
    progressLayout->addWidget(PLabel, 0, 0);
    progressLayout->addWidget(PBar, 1, 0);
    progressLayout->addWidget(btCancel, 0, 1, 2, 1);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(8);
    middle->addLayout(listArea, 1);
    middle->addWidget(buttonColumn);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(frame.left() + 4, kTitleHeight + 4, frame.right() + 1, frame.bottom() + 1);
    layout->addLayout(middle, 1);
    layout->addWidget(backupStatusLabel);
    layout->addLayout(bottom);
}

void MainWindowUi::placeOverlays(QWidget* window) {
    titleStrip->setGeometry(0, 0, window->width(), kTitleHeight);
    // The wait and progress panels float over the middle of the window.
    WaitPanel->adjustSize();
    const QPoint centre = window->rect().center();
    WaitPanel->move(centre.x() - WaitPanel->width() / 2, centre.y() - WaitPanel->height() - 4);
    PPanel->move(centre.x() - PPanel->width() / 2, centre.y() + 4);
    WaitPanel->raise();
    PPanel->raise();
}
