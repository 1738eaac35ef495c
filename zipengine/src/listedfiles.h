#pragma once

#include "engineplatform.h"

#include <string>

// The files of a list, looked at and opened as engineplatform::fileStatus() and openForReading()
// do. The files of a list come folder by folder: where the system can, the folder of the last file
// stays open and the next file of that folder is looked up by its name alone, not by its whole
// path. One object a thread. One implementation per system (listedfiles_posix.cpp,
// listedfiles_win.cpp).
class ListedFiles {
public:
    ListedFiles() = default;
    ~ListedFiles();
    ListedFiles(const ListedFiles&) = delete;
    ListedFiles& operator=(const ListedFiles&) = delete;

    // 0, or -1 with errno set.
    int status(const char* path, engineplatform::FileStatus& st);
    // A descriptor open for reading, or -1 with errno set.
    int open(const char* path);

private:
    // The folder of `path` open, and where its name starts in `path`; false when the whole path
    // is to be taken.
    bool openFolderOf(const char* path, const char*& name);

    std::string m_folder; // the path of the folder open as m_folderFd
    int m_folderFd = -1;
};
