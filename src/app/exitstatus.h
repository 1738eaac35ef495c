#pragma once

#include "engine/backuprun.h"

// What the program's exit status tells whoever started it (a scheduler) about the backups
// of this run of the program. The worst result recorded wins.
class ExitStatus {
public:
    enum Code {
        AllArchivesMade = 0,
        BackupIncomplete = 1, // an archive was not created, missed files, or the run was cancelled
        BackupNotMade = 2,    // no folders, no destination, or a destination that is missing
        ShutdownRefused = 3,  // the backups were made, the computer could not be shut down
    };

    void record(Code code);
    // What one backup run tells, from its outcome and whether an archive of it failed (was not
    // made, or misses files). A run that did not start tells nothing: AllArchivesMade.
    static Code ofRun(BackupRun::Outcome outcome, bool archiveFailed);
    Code code() const { return m_code; }

private:
    static int rank(Code code);

    Code m_code = AllArchivesMade;
};
