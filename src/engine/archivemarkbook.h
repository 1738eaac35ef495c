#pragma once

#include "platform/fileattributes.h"

#include <filesystem>

// The setup's record of the archives that changed-only marks are made for. Per archive series
// (one archive updated in place, or the dated archives of one name) it holds the epoch of the
// marks and the fingerprint (device, inode, size, modification time) of the archive as this
// program last left it. When the archive found differs from it (deleted, replaced by an older
// copy, written by another tool or another setup) a new epoch begins, so that every mark made
// before counts as changed and every file is taken once more. A record that is missing or cannot
// be read begins a new epoch too: too much is taken, never too little.
//
// The record is one INI file beside the settings file, so two program folders (two setups)
// keep records, epochs and marks of their own. Every change replaces the file atomically.
class ArchiveMarkBook {
public:
    explicit ArchiveMarkBook(std::filesystem::path recordFile);

    // The mark for the series named `seriesName` whose archive is `archive`, or, when `archive` is
    // empty (dated archives), the one this program wrote last.
    platform::ArchiveMark markFor(const std::filesystem::path& seriesName,
                                  const std::filesystem::path& archive);
    // Once `archive` was written with `mark` (or left as it was): its fingerprint becomes the
    // one to compare with.
    void archiveWritten(const platform::ArchiveMark& mark, const std::filesystem::path& archive);

    // The key of a series, part of the marks' name.
    static std::string seriesKey(const std::filesystem::path& seriesName);

private:
    void store(const platform::ArchiveMark& mark, const std::filesystem::path& archive);

    std::filesystem::path m_recordFile;
};
