#pragma once

class ProgramLifecycle;
class MainWindow;

// The program's start: the windows, the ZIP engine, the settings, how the windows show, the
// command line's backup, then the timer, the backup at start, the version check and the cleanup.
// Every step stops once the program was closed or the session is ending.
class StartupSequence {
public:
    StartupSequence(MainWindow& form, ProgramLifecycle& lifecycle);

    void run();

private:
    // True when start-up must not go on: the program was closed or the session is ending.
    bool stopped();
    void checkEngineFiles();
    // False when the command line's switch ends the start-up here.
    bool applyCommandLine();

    MainWindow& m_form;
    ProgramLifecycle& m_lifecycle;
    bool m_commandLineBackupDone = false;
};
