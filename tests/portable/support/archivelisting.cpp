#include "archivelisting.h"

#include "testsystem.h"

#include <zip.h>

#include <algorithm>

namespace {
std::vector<std::uint16_t> extraFieldIds(zip_t* archive, zip_uint64_t index, zip_flags_t header) {
    std::vector<std::uint16_t> ids;
    const zip_int16_t count = zip_file_extra_fields_count(archive, index, header);
    for (zip_int16_t i = 0; i < count; ++i) {
        zip_uint16_t id = 0;
        zip_uint16_t length = 0;
        if (zip_file_extra_field_get(archive, index, zip_uint16_t(i), &id, &length, header) != nullptr)
            ids.push_back(id);
    }
    return ids;
}
} // namespace

ArchiveListing::ArchiveListing(const std::string& archivePath) {
    // Read into memory, so that libzip sees no path in the way of any system.
    std::string bytes;
    if (!testsystem::readFile(archivePath, bytes)) {
        m_error = "cannot read " + archivePath;
        return;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive =
        source != nullptr ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (archive == nullptr) {
        m_error = zip_error_strerror(&error);
        if (source != nullptr)
            zip_source_free(source);
        zip_error_fini(&error);
        return;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        Entry entry;
        const char* name = zip_get_name(archive, zip_uint64_t(i), 0);
        entry.name = name != nullptr ? name : "";
        zip_stat_t stat;
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) == 0)
            entry.size = stat.size;
        zip_file_get_external_attributes(archive, zip_uint64_t(i), 0, &entry.madeBy, &entry.attributes);
        entry.localExtraFields = extraFieldIds(archive, zip_uint64_t(i), ZIP_FL_LOCAL);
        entry.centralExtraFields = extraFieldIds(archive, zip_uint64_t(i), ZIP_FL_CENTRAL);
        m_entries.push_back(entry);
    }
    zip_discard(archive);
    zip_error_fini(&error);
}

std::vector<std::string> ArchiveListing::names() const {
    std::vector<std::string> names;
    for (const Entry& entry : m_entries)
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}
