#include "archiveaside.h"

#include "engineplatform.h"

#include <cerrno>

bool ArchiveAside::move() {
    m_aside.clear();
    for (int n = 1; n < 1000; ++n) {
        const std::string name = m_target + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        engineplatform::FileStatus st;
        if (engineplatform::linkStatus(name.c_str(), st) != 0 && errno == ENOENT) {
            if (!engineplatform::renameFile(m_target.c_str(), name.c_str()))
                return false;
            m_aside = name;
            return true;
        }
    }
    return false;
}

bool ArchiveAside::moveBack() {
    if (m_aside.empty() || !engineplatform::renameFile(m_aside.c_str(), m_target.c_str()))
        return false;
    m_aside.clear();
    return true;
}
