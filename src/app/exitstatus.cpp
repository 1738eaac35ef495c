#include "app/exitstatus.h"

int ExitStatus::rank(Code code) {
    switch (code) {
    case AllArchivesMade:
        return 0;
    case ShutdownRefused:
        return 1;
    case BackupIncomplete:
        return 2;
    case BackupNotMade:
        return 3;
    }
    return 0;
}

void ExitStatus::record(Code code) {
    if (rank(code) > rank(m_code))
        m_code = code;
}

ExitStatus::Code ExitStatus::ofRun(BackupRun::Outcome outcome, bool archiveFailed) {
    switch (outcome) {
    case BackupRun::Outcome::NotStarted:
        return AllArchivesMade;
    case BackupRun::Outcome::Stopped:
        return BackupNotMade;
    case BackupRun::Outcome::Cancelled:
        return BackupIncomplete;
    case BackupRun::Outcome::Completed:
        // A cancel that reached the engine in time ends its archive as not created, which marks
        // it failed. One that came after the last archive was made (while the engine closed it,
        // say) stopped nothing: every archive of the run stands.
        return archiveFailed ? BackupIncomplete : AllArchivesMade;
    }
    return AllArchivesMade;
}
