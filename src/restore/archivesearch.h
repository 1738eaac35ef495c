#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ArchiveContents;

// Finds files by name across archives. Every version of a file is listed: the hits are grouped by
// the file's full name, newest first within a name.
class ArchiveSearch {
public:
    struct Source {
        const ArchiveContents* contents = nullptr;
        std::int64_t archiveMtimeNs = 0; // when the archive was written, for versions of equal time
    };
    struct Hit {
        std::size_t source = 0; // index into the sources
        std::uint32_t entry = 0;
    };

    // Files whose last name component contains `text`, ignoring ASCII letter case; an empty
    // text finds nothing. Folders and links are not listed.
    static std::vector<Hit> find(const std::vector<Source>& sources, std::string_view text);
};
