#pragma once

#include "restore/archivecontents.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>

// The archives opened so far, each read once; cleared when the destination is listed again.
class ArchiveCache {
public:
    // Nothing when the archive cannot be read; `error` then says why.
    const ArchiveContents* get(const std::filesystem::path& archive, std::string* error = nullptr);
    void clear() { m_open.clear(); }

private:
    std::map<std::filesystem::path, std::unique_ptr<ArchiveContents>> m_open;
};
