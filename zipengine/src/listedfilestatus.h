#pragma once

#include "engineplatform.h"

#include <string>

// The status of the files of a list, through links, as engineplatform::fileStatus() gives it. The
// files of a list come folder by folder: where the system can, the folder of the last file stays
// open and the next file of that folder is looked up by its name alone, not by its whole path.
// One implementation per system (listedfilestatus_posix.cpp, listedfilestatus_win.cpp).
class ListedFileStatus {
public:
    ListedFileStatus() = default;
    ~ListedFileStatus();
    ListedFileStatus(const ListedFileStatus&) = delete;
    ListedFileStatus& operator=(const ListedFileStatus&) = delete;

    // 0, or -1 with errno set.
    int status(const char* path, engineplatform::FileStatus& st);

private:
    std::string m_folder; // the path of the folder open as m_folderFd
    int m_folderFd = -1;
};
