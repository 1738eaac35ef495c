#include "listedfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#ifndef O_PATH
#define O_PATH O_RDONLY // a folder that can only be searched then takes the whole path
#endif

ListedFiles::~ListedFiles() {
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

bool ListedFiles::openFolderOf(const char* path, const char*& name) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr || slash == path || slash[1] == '\0')
        return false;
    const std::string_view folder(path, static_cast<std::size_t>(slash - path));
    if (m_folderFd < 0 || folder != m_folder) {
        if (m_folderFd >= 0)
            ::close(m_folderFd);
        m_folder.assign(folder);
        m_folderFd = ::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    name = slash + 1;
    return m_folderFd >= 0; // otherwise the whole path says why
}

int ListedFiles::status(const char* path, engineplatform::FileStatus& st) {
    const char* name = nullptr;
    if (!openFolderOf(path, name))
        return engineplatform::fileStatus(path, st);
    struct stat status {};
    if (::fstatat(m_folderFd, name, &status, 0) != 0)
        return -1;
    st.mode = status.st_mode;
    st.size = static_cast<std::uint64_t>(status.st_size);
    st.mtime = status.st_mtim;
    st.device = static_cast<std::uint64_t>(status.st_dev);
    st.inode = static_cast<std::uint64_t>(status.st_ino);
    return 0;
}

int ListedFiles::open(const char* path) {
    const char* name = nullptr;
    if (!openFolderOf(path, name))
        return engineplatform::openForReading(path);
    return ::openat(m_folderFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}
