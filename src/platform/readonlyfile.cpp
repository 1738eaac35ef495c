#include "platform/readonlyfile.h"

#include <unistd.h>

namespace platform {

ReadOnlyFile::~ReadOnlyFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace platform
