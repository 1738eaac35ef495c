#include "restore/archivecache.h"

const ArchiveContents* ArchiveCache::get(const std::filesystem::path& archive, std::string* error) {
    auto found = m_open.find(archive);
    if (found == m_open.end()) {
        auto contents = std::make_unique<ArchiveContents>();
        if (!contents->open(archive)) {
            if (error)
                *error = contents->errorText();
            return nullptr;
        }
        found = m_open.emplace(archive, std::move(contents)).first;
    }
    return found->second.get();
}
