#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The two options of the settings dialog that decide which files a walk takes.
struct WalkFlags {
    bool newOnly = false;       // only files whose archive attribute is set
    bool includeHidden = false; // hidden and system files too
};

// Everything a folder walk reads, copied when the walk starts so that the worker that runs it
// never touches the settings dialog or the exclusion lists.
struct WalkOptions {
    bool newOnly = false;
    bool includeHidden = false;
    // Full paths of folders that are never entered, compared as whole paths without case.
    std::vector<std::filesystem::path> excludedFolders;
    // File-name extensions (".tmp"), UTF-8, compared without case.
    std::vector<std::string> excludedTypes;
};
