#include "app/tbformui.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* toolButton(QWidget* parent, const char* name, const QString& hint, QStyle::StandardPixmap icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    return button;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    return button;
}

QFrame* panel(QWidget* parent, const char* name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setFrameShape(QFrame::Box);
    frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: white; }").arg(QLatin1String(name)));
    frame->setVisible(false);
    return frame;
}

} // namespace

void TBFormUi::setup(QWidget* window) {
    titleStrip = new QWidget(window);
    titleStrip->setObjectName(QStringLiteral("ITBM"));
    titleStrip->setFixedHeight(25);
    btMenu =
        toolButton(titleStrip, "btMenu", QStringLiteral("open the main menu"), QStyle::SP_TitleBarMenuButton);
    titleLabel = new QLabel(QStringLiteral("Quoralis2005"), titleStrip);
    titleLabel->setObjectName(QStringLiteral("TitleLabel"));
    titleLabel->setStyleSheet(QStringLiteral("font-weight: bold;"));
    btHelp = toolButton(titleStrip, "btHelp", QStringLiteral("Help"), QStyle::SP_TitleBarContextHelpButton);
    btHide =
        toolButton(titleStrip, "btHide", QStringLiteral("Minimize to tray"), QStyle::SP_TitleBarMinButton);
    btClose = toolButton(titleStrip, "btClose", QStringLiteral("Close Quoralis2005"),
                         QStyle::SP_TitleBarCloseButton);
    auto* titleLayout = new QHBoxLayout(titleStrip);
    titleLayout->setContentsMargins(2, 0, 2, 0);
    titleLayout->addWidget(btMenu);
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

    btSettings =
        pushButton(window, "btSettings", QStringLiteral("Settings"), QStringLiteral("Change configuration"));
    btAdd =
        pushButton(window, "btAdd", QStringLiteral("Add folder"), QStringLiteral("Add a folder to the list"));
    btRemove = pushButton(window, "btRemove", QStringLiteral("Remove"),
                          QStringLiteral("Remove selected folder(s) from the list"));
    btClear = pushButton(window, "btClear", QStringLiteral("Clear"),
                         QStringLiteral("Remove all folders from the list"));
    btExclude = pushButton(window, "btExclude", QStringLiteral("Exclude..."),
                           QStringLiteral("Allows you to set a list of folders to ignore"));
    btRecalc = pushButton(window, "btRecalc", QString(), QStringLiteral("Recalculate folder size"));
    btRecalc->setIcon(window->style()->standardIcon(QStyle::SP_BrowserReload));
    btBackup = pushButton(window, "btBackup", QStringLiteral("Backup!"),
                          QStringLiteral("Make backup now, right click for options"));
    btBackup->setMinimumHeight(48);
    btBackup->setStyleSheet(QStringLiteral("font-weight: bold;"));
    btBackup->setContextMenuPolicy(Qt::CustomContextMenu);
    btRestore = pushButton(window, "btRestore", QStringLiteral("Restore"),
                           QStringLiteral("Open backup destination folder"));
    btVersion =
        pushButton(window, "btVersion", QStringLiteral("v. "), QStringLiteral("Check for newer version"));
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b :
         {btSettings, btAdd, btRemove, btClear, btExclude, btRecalc, btBackup, btRestore, btVersion})
        buttons->addWidget(b);
    buttons->addStretch();

    TotalLabel = new QLabel(window);
    TotalLabel->setObjectName(QStringLiteral("TotalLabel"));
    TotalLabel->setMinimumWidth(260);
    btResize =
        toolButton(window, "btResize", QStringLiteral("Resize window"), QStyle::SP_TitleBarNormalButton);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(TotalLabel, 1);
    bottom->addWidget(btResize);

    WaitPanel = panel(window, "WaitPanel");
    auto* waitLayout = new QVBoxLayout(WaitPanel);
    auto* waitPicture = new QLabel(WaitPanel);
    waitPicture->setPixmap(window->style()->standardIcon(QStyle::SP_BrowserReload).pixmap(32, 32));
    waitLayout->addWidget(waitPicture, 0, Qt::AlignCenter);

    PPanel = panel(window, "PPanel");
    PPanel->setFixedSize(199, 53);
    PLabel = new QLabel(QStringLiteral("Backup in progress..."), PPanel);
    PLabel->setObjectName(QStringLiteral("PLabel"));
    PBar = new QProgressBar(PPanel);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, 100);
    PBar->setFixedSize(117, 14);
    PBar->setAlignment(Qt::AlignCenter);
    PBar->setStyleSheet(QStringLiteral("QProgressBar { background: white; border: 1px solid #999; }"
                                       "QProgressBar::chunk { background: rgb(83, 169, 255); }"));
    btCancel = pushButton(PPanel, "btCancel", QString(), QStringLiteral("Cancel operation"));
    btCancel->setIcon(window->style()->standardIcon(QStyle::SP_BrowserStop));
    auto* progressLayout = new QGridLayout(PPanel);
    progressLayout->addWidget(PLabel, 0, 0);
    progressLayout->addWidget(PBar, 1, 0);
    progressLayout->addWidget(btCancel, 0, 1, 2, 1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(listArea, 1);
    middle->addLayout(buttons);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(titleStrip);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
}

void TBFormUi::placeOverlays(QWidget* window) {
    // The wait and progress panels float over the middle of the window.
    WaitPanel->adjustSize();
    const QPoint centre = window->rect().center();
    WaitPanel->move(centre.x() - WaitPanel->width() / 2, centre.y() - WaitPanel->height() - 4);
    PPanel->move(centre.x() - PPanel->width() / 2, centre.y() + 4);
    WaitPanel->raise();
    PPanel->raise();
}
