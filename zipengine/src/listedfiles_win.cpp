#include "listedfiles.h"

// Windows looks a file up by its path only.
ListedFiles::~ListedFiles() = default;

int ListedFiles::status(const char* path, engineplatform::FileStatus& st) {
    return engineplatform::fileStatus(path, st);
}

int ListedFiles::open(const char* path) {
    return engineplatform::openForReading(path);
}
