#pragma once

class ProgramLifecycle;
class ProgramParts;

// The program's start: the ZIP engine, the settings, how the windows show, the command line's
// backup, then the timer, the backup at start, the version check and the cleanup.
// Every step stops once the program was closed or the session is ending.
class StartupSequence {
public:
    StartupSequence(ProgramParts& parts, ProgramLifecycle& lifecycle);

    void runSteps();

private:
    // True when start-up must not go on: the program was closed or the session is ending.
    bool stopped();
    void checkEngineFiles();
    // False when the command line's switch ends the start-up here.
    bool applyCommandLine();

    ProgramParts& m_parts;
    ProgramLifecycle& m_lifecycle;
    bool m_commandLineBackupDone = false;
};
