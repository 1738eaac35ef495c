#include "platform/readonlyfile.h"

#include <fcntl.h>
#include <io.h>

namespace platform {

// Windows file systems hold no named pipes, so opening a name never waits for a writer.
ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path)
    : m_fd(::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT)) {}

} // namespace platform
