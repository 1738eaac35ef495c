#pragma once

#include <QMargins>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QWidget;
class PictureButton;
class SkinnedButton;

// The widgets of the main window and their layout; the window connects them.
class MainWindowUi {
public:
    static constexpr int kTitleHeight = 25;

    // frame: the thickness of the skin frame the contents sit inside.
    void setup(QWidget* window, const QMargins& frame);
    // Places what is not laid out: the title strip across the top and the floating panels.
    void placeOverlays(QWidget* window);

    QWidget* titleStrip = nullptr;
    PictureButton* btMenu = nullptr;
    QLabel* titleLabel = nullptr;
    PictureButton* btHelp = nullptr;
    PictureButton* btHide = nullptr;
    PictureButton* btClose = nullptr;

    QLabel* foldersLabel = nullptr;
    QLabel* TimerLabel = nullptr;
    // Where the folder list goes.
    QVBoxLayout* listArea = nullptr;
    // The background behind the button column.
    QWidget* buttonColumn = nullptr;

    SkinnedButton* btSettings = nullptr;
    SkinnedButton* btAdd = nullptr;
    SkinnedButton* btRemove = nullptr;
    SkinnedButton* btClear = nullptr;
    SkinnedButton* btExclude = nullptr;
    SkinnedButton* btRecalc = nullptr;
    SkinnedButton* btBackup = nullptr;
    SkinnedButton* btRestore = nullptr;
    SkinnedButton* btVersion = nullptr;

    QLabel* TotalLabel = nullptr;
    // How the last backup ended, or that one runs now.
    QLabel* backupStatusLabel = nullptr;
    PictureButton* btResize = nullptr;

    QFrame* WaitPanel = nullptr;
    QFrame* PPanel = nullptr;
    QLabel* PLabel = nullptr;
    QProgressBar* PBar = nullptr;
    SkinnedButton* btCancel = nullptr;
};
