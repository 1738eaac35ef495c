#include "restore/backupcatalog.h"

#include "platform/pathbytes.h"

#include "archivereader.h"
#include "engineplatform.h"

#include "restore/archivecontents.h"
#include "restore/backuparchivename.h"

#include <algorithm>

namespace fs = std::filesystem;

std::vector<BackupArchive> BackupCatalog::scan(const fs::path& destination) {
    std::vector<BackupArchive> found;
    std::error_code ec;
    for (fs::directory_iterator it(destination, ec), end; !ec && it != end; it.increment(ec)) {
        const auto name = BackupArchiveName::parse(pathBytes(it->path().filename()));
        if (!name)
            continue;
        engineplatform::FileStatus st;
        if (engineplatform::fileStatus(pathBytes(it->path()).c_str(), st) != 0 || !st.isFile())
            continue;
        BackupArchive archive;
        archive.path = it->path();
        archive.folder = name->folder;
        archive.stamp = name->stamp;
        const timespec mtime = st.mtime;
        archive.mtimeNs = std::int64_t{mtime.tv_sec} * 1000000000 + mtime.tv_nsec;
        archive.size = static_cast<std::uint64_t>(st.size);
        // The central directory alone says how many files there are; no tree is needed for that.
        ArchiveReader reader;
        archive.readable = reader.open(pathBytes(archive.path));
        if (!archive.readable)
            archive.error = reader.errorText();
        for (std::size_t i = 0; archive.readable && i < reader.count(); ++i) {
            if (ArchiveContents::describe(reader.entry(i)).kind == ArchiveContents::Kind::File)
                ++archive.files;
        }
        found.push_back(std::move(archive));
    }
    std::sort(found.begin(), found.end(), [](const BackupArchive& a, const BackupArchive& b) {
        if (a.folder != b.folder)
            return a.folder < b.folder;
        if (a.mtimeNs != b.mtimeNs)
            return a.mtimeNs > b.mtimeNs;
        return a.path > b.path;
    });
    return found;
}
