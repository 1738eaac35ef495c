#pragma once

#include <string>
#include <vector>

class ArchiveOutput;
class ArchiveTarget;
class JobReporter;

// The last step of an add job: the new archive takes the place of the previous one, which is
// first kept aside where it holds the only copy of something.
class ArchiveReplacement {
public:
    ArchiveReplacement(ArchiveTarget& target, JobReporter& report);

    // Puts `out` in place of the archive; `leftOut` are damaged entries whose only copy is in the
    // previous archive, which is then kept aside. A ZeCode.
    int commit(ArchiveOutput& out, const std::vector<std::string>& leftOut);

    // Keeps an unreadable previous archive aside (`reason` says what is wrong with it), so that a
    // complete new archive can take its name; false when it cannot be moved.
    bool moveDamagedAside(const std::string& reason);

private:
    ArchiveTarget& m_target;
    JobReporter& m_report;
};
