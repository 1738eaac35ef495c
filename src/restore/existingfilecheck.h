#pragma once

#include "archivereader.h"
#include "folderhandle.h"

#include <string>

// Whether a file already in the restore's place is the very copy an entry holds: the same size,
// the same time within the step the entry keeps it in, and the same CRC of its bytes. Only a file
// that passes the first two is read.
class ExistingFileCheck {
public:
    static bool sameTime(std::int64_t fileMtimeNs, const ArchiveReader::Entry& entry);
    static bool holdsEntry(const FolderHandle& folder, const std::string& name,
                           const FolderHandle::Status& status, const ArchiveReader::Entry& entry);
};
