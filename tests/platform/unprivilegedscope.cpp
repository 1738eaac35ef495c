#include "unprivilegedscope.h"

#include <QtGlobal>

#include <unistd.h>

namespace {
constexpr uid_t nobodyUid = 65534;
}

UnprivilegedScope::UnprivilegedScope() {
    if (::geteuid() != 0) {
        m_active = true;
        return;
    }
    m_droppedRoot = ::seteuid(nobodyUid) == 0;
    m_active = m_droppedRoot;
}

UnprivilegedScope::~UnprivilegedScope() {
    if (m_droppedRoot && ::seteuid(0) != 0)
        qFatal("cannot return to the root identity");
}
