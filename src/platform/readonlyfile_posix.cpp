#include "platform/readonlyfile.h"

#include <fcntl.h>

namespace platform {

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {}

} // namespace platform
