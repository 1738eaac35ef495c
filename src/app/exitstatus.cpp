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
