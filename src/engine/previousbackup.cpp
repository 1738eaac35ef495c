#include "engine/previousbackup.h"

#include "archivereader.h"
#include "entryname.h"
#include "platform/pathbytes.h"

bool PreviousBackup::holdsFilesOf(const std::filesystem::path& archive, const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archive, ec))
        return false;
    ArchiveReader reader;
    if (!reader.open(pathBytes(archive)))
        return false;
    // The entry name of a file in the folder, less the file's own name.
    std::string prefix = entryname::forPath(pathBytes(folder / "x").c_str(), true);
    prefix.pop_back();
    for (std::size_t i = 0; i < reader.count(); ++i) {
        const std::string_view name = reader.entry(i).name;
        if (name.size() > prefix.size() && name.starts_with(prefix) && name.back() != '/')
            return true;
    }
    return false;
}

bool PreviousBackup::datedArchivesHoldFilesOf(const std::filesystem::path& seriesBaseName,
                                              const std::filesystem::path& folder) {
    const std::string prefix = pathBytes(seriesBaseName.filename()) + '_';
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(seriesBaseName.parent_path(), ec)) {
        const std::string name = pathBytes(entry.path().filename());
        if (name.size() > prefix.size() + 4 && name.starts_with(prefix) && name.ends_with(".zip") &&
            holdsFilesOf(entry.path(), folder))
            return true;
    }
    return false;
}
