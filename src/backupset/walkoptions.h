#pragma once

#include "platform/fileattributes.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// What the settings dialog says about the files a walk takes.
struct WalkFlags {
    bool newOnly = false;       // only files whose archive attribute is set
    bool includeHidden = false; // hidden and system files too, and dot-folders are entered
    // The folder the archives go to: its own archives are never taken. Empty: none set.
    std::filesystem::path destination;
};

// Everything a folder walk reads, copied when the walk starts so that the worker that runs it
// never touches the settings dialog, the folder list or the exclusion lists.
struct WalkOptions {
    bool newOnly = false;
    // With newOnly: the archive whose marks say which files changed.
    platform::ArchiveMark mark;
    bool includeHidden = false;
    // Full paths of folders that are never entered, compared as whole paths; without regard to
    // case only on file systems that find names that way.
    std::vector<std::filesystem::path> excludedFolders;
    // File-name extensions (".tmp"), UTF-8, compared without case.
    std::vector<std::string> excludedTypes;
    // Every folder of the folder list: a link met in a walk that leads into one of them is not
    // followed, because that folder is backed up under its real name. Shared, since every walk
    // of a long list takes the same list.
    std::shared_ptr<const std::vector<std::filesystem::path>> listedFolders;
    std::filesystem::path destination;
};
