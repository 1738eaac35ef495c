#include "writebarrier.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uid_t nobodyUid = 65534;
}

WriteBarrier::WriteBarrier(const QString& folder)
    : m_folder(folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::chmod(path.constData(), 0555) != 0)
        return;
    if (::geteuid() == 0) {
        m_droppedRoot = ::seteuid(nobodyUid) == 0;
        m_active = m_droppedRoot && ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0;
    } else {
        m_active = ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0;
    }
}

WriteBarrier::~WriteBarrier() {
    if (m_droppedRoot && ::seteuid(0) != 0)
        qFatal("cannot return to the root identity");
    ::chmod(QFile::encodeName(m_folder).constData(), 0755);
}
