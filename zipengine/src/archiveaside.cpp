#include "archiveaside.h"

#include "engineplatform.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

bool ArchiveAside::move() {
    m_aside.clear();
    for (int n = 1; n < 1000; ++n) {
        const std::string name = m_target + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        struct stat st {};
        if (engineplatform::linkStatus(name.c_str(), st) != 0 && errno == ENOENT) {
            if (std::rename(m_target.c_str(), name.c_str()) != 0)
                return false;
            m_aside = name;
            return true;
        }
    }
    return false;
}

bool ArchiveAside::moveBack() {
    if (m_aside.empty() || std::rename(m_aside.c_str(), m_target.c_str()) != 0)
        return false;
    m_aside.clear();
    return true;
}
