#pragma once

#include <filesystem>

// What an existing archive holds of a listed folder, read from its central directory only.
class PreviousBackup {
public:
    // Whether `archive` holds files from below `folder`, as the backup names them. False when
    // there is no such archive or it cannot be read.
    static bool holdsFilesOf(const std::filesystem::path& archive, const std::filesystem::path& folder);
    // The same for the dated archives "<seriesBaseName>_<date>.zip": whether any of them does.
    static bool datedArchivesHoldFilesOf(const std::filesystem::path& seriesBaseName,
                                         const std::filesystem::path& folder);
};
