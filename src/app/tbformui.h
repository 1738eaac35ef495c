#pragma once

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The widgets of the main window and their layout; the window connects them.
class TBFormUi {
public:
    void setup(QWidget* window);
    void placeOverlays(QWidget* window);

    QWidget* titleStrip = nullptr;
    QToolButton* btMenu = nullptr;
    QLabel* titleLabel = nullptr;
    QToolButton* btHelp = nullptr;
    QToolButton* btHide = nullptr;
    QToolButton* btClose = nullptr;

    QLabel* foldersLabel = nullptr;
    QLabel* TimerLabel = nullptr;
    // Where the folder list goes.
    QVBoxLayout* listArea = nullptr;

    QPushButton* btSettings = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btRemove = nullptr;
    QPushButton* btClear = nullptr;
    QPushButton* btExclude = nullptr;
    QPushButton* btRecalc = nullptr;
    QPushButton* btBackup = nullptr;
    QPushButton* btRestore = nullptr;
    QPushButton* btVersion = nullptr;

    QLabel* TotalLabel = nullptr;
    QToolButton* btResize = nullptr;

    QFrame* WaitPanel = nullptr;
    QFrame* PPanel = nullptr;
    QLabel* PLabel = nullptr;
    QProgressBar* PBar = nullptr;
    QPushButton* btCancel = nullptr;
};
