#include "listedfilestatus.h"

// Windows looks a file up by its path only.
ListedFileStatus::~ListedFileStatus() = default;

int ListedFileStatus::status(const char* path, engineplatform::FileStatus& st) {
    return engineplatform::fileStatus(path, st);
}
