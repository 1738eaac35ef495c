#include "archivereplacement.h"

#include "archiveaside.h"
#include "archiveoutput.h"
#include "archivetarget.h"
#include "jobreporter.h"
#include "zipengine_api.h"

#include <cerrno>
#include <cstring>

ArchiveReplacement::ArchiveReplacement(ArchiveTarget& target, JobReporter& report)
    : m_target(target)
    , m_report(report) {}

int ArchiveReplacement::commit(ArchiveOutput& out, const std::vector<std::string>& leftOut) {
    const std::string& path = m_target.path();
    if (m_target.changedMeanwhile()) {
        m_report.message(ZE_ERR_REPLACE, path + ": the archive was changed by another program meanwhile");
        return ZE_ERR_REPLACE;
    }
    ArchiveAside aside(path);
    if (!leftOut.empty() && !aside.move()) {
        m_report.message(ZE_ERR_REPLACE,
                         path + ": it holds the only copy of damaged entries and cannot be kept aside: " +
                             std::strerror(errno));
        return ZE_ERR_REPLACE;
    }
    if (!out.commit()) {
        const int code = out.errorContext() == "writing to disk" ? ZE_ERR_WRITE : ZE_ERR_REPLACE;
        m_report.message(code, path + ": " + std::strerror(out.errorNumber()));
        aside.moveBack();
        return code;
    }
    for (const std::string& name : leftOut)
        m_report.message(ZE_WARN_KEPT_DAMAGED,
                         name + ": left out, its file is not in the list; the previous archive is kept as " +
                             aside.path());
    return ZE_OK;
}

bool ArchiveReplacement::moveDamagedAside(const std::string& reason) {
    ArchiveAside aside(m_target.path());
    if (!aside.move())
        return false;
    m_report.message(ZE_WARN_ARCHIVE_MOVED, m_target.path() + " (" + reason + ") is kept as " + aside.path());
    m_target.forget();
    return true;
}
