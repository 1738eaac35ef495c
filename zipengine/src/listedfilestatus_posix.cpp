#include "listedfilestatus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#ifndef O_PATH
#define O_PATH O_RDONLY // a folder that can only be searched then takes the whole path
#endif

ListedFileStatus::~ListedFileStatus() {
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

int ListedFileStatus::status(const char* path, engineplatform::FileStatus& st) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr || slash == path || slash[1] == '\0')
        return engineplatform::fileStatus(path, st);
    const std::string_view folder(path, static_cast<std::size_t>(slash - path));
    if (m_folderFd < 0 || folder != m_folder) {
        if (m_folderFd >= 0)
            ::close(m_folderFd);
        m_folder.assign(folder);
        m_folderFd = ::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (m_folderFd < 0) // the whole path then says why
        return engineplatform::fileStatus(path, st);
    struct stat status {};
    if (::fstatat(m_folderFd, slash + 1, &status, 0) != 0)
        return -1;
    st.mode = status.st_mode;
    st.size = static_cast<std::uint64_t>(status.st_size);
    st.mtime = status.st_mtim;
    st.device = static_cast<std::uint64_t>(status.st_dev);
    st.inode = static_cast<std::uint64_t>(status.st_ino);
    return 0;
}
