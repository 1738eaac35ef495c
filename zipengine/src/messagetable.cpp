#include "messagetable.h"

#include "engineplatform.h"

#include "zipengine_api.h"

#include <cstdlib>
#include <fstream>

namespace {

const std::map<int, std::string>& builtInTexts() {
    static const std::map<int, std::string> texts = {
        {ZE_OK, "Ok"},
        {ZE_WARN_SKIPPED, "Some files could not be read and were left out of the archive"},
        {ZE_ERR_NOTHING_TO_DO, "Nothing to do: no file could be added to the archive"},
        {ZE_ERR_CANCELLED, "Operation cancelled by the user"},
        {ZE_ERR_BAD_COMMAND, "Invalid command for the ZIP engine"},
        {ZE_ERR_OPEN_ARCHIVE, "Cannot open the existing archive"},
        {ZE_ERR_BAD_ARCHIVE, "The existing archive is damaged or is not a ZIP archive"},
        {ZE_ERR_CREATE_TEMP, "Cannot create a temporary file beside the archive"},
        {ZE_ERR_WRITE, "Error writing the archive"},
        {ZE_ERR_REPLACE, "Cannot replace the archive with the new one"},
        {ZE_ERR_MEMORY, "Not enough memory"},
        {ZE_ERR_INTERNAL, "Internal error of the ZIP engine"},
        {ZE_ERR_SKIPPED_FILE, "File skipped"},
        {ZE_WARN_CHANGING, "File kept changing while it was read"},
        {ZE_ERR_IN_USE, "Destination file is in use"},
        {ZE_ERR_VERIFY, "The new archive did not read back correctly"},
        {ZE_WARN_KEPT_DAMAGED, "Damaged entry of the previous archive"},
        {ZE_WARN_ARCHIVE_MOVED, "Unreadable archive kept aside"},
        {ZE_ERR_NOT_ARCHIVE_FILE, "The archive's name is taken by something that is no archive file"},
        {ZE_WARN_KEPT_UNREADABLE, "Entry kept, not readable here"},
        {ZE_ERR_CRC, "CRC error"},
        {ZE_ERR_UNSAFE_NAME, "Unsafe entry name refused"},
        {ZE_ERR_EXTRACT_WRITE, "Cannot write an extracted file"},
        {ZE_ERR_ENTRY_READ, "Cannot read an entry of the archive"},
        {ZE_ERR_TEST_FAILED, "The archive test found errors"},
    };
    return texts;
}

} // namespace

MessageTable::MessageTable()
    : m_texts(builtInTexts()) {}

bool MessageTable::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue;
        char* end = nullptr;
        const std::string number = line.substr(0, tab);
        const long code = std::strtol(number.c_str(), &end, 10);
        if (end == nullptr || *end != '\0' || line.size() == tab + 1)
            continue;
        m_texts[static_cast<int>(code)] = line.substr(tab + 1);
    }
    return true;
}

std::string MessageTable::besideLibrary(const void* symbolInLibrary) {
    const std::string path = engineplatform::moduleFileOf(symbolInLibrary);
    if (path.empty())
        return "ResDlls.res";
    const std::size_t slash = path.find_last_of(engineplatform::kPathSeparators);
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "ResDlls.res";
}

std::string MessageTable::text(int code) const {
    const auto it = m_texts.find(code);
    return it != m_texts.end() ? it->second : "Error " + std::to_string(code);
}

std::string MessageTable::format(int code, const std::string& detail) const {
    return detail.empty() ? text(code) : text(code) + ": " + detail;
}
