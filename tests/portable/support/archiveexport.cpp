#include "archiveexport.h"

#include "testsystem.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

fs::path fromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

} // namespace

ArchiveExport::ArchiveExport(const std::string& caseName)
    : m_folder(std::string(QUORALIS_TEST_OUTPUT_DIR) + "/" + caseName) {
    testsystem::removeTree(m_folder);
    std::error_code ignored;
    fs::create_directories(fromUtf8(m_folder + "/tree"), ignored);
}

bool ArchiveExport::addFile(const std::string& entryName, const std::string& sourcePath) {
    std::string content;
    if (!testsystem::readFile(sourcePath, content) ||
        !testsystem::writeFile(m_folder + "/tree/" + entryName, content))
        return false;
    m_entries.push_back(entryName);
    return true;
}

bool ArchiveExport::addZeros(const std::string& entryName, std::uint64_t size) {
    const std::string path = m_folder + "/tree/" + entryName;
    std::error_code ec;
    if (!testsystem::writeFile(path, std::string()))
        return false;
    fs::resize_file(fromUtf8(path), size, ec);
    if (ec)
        return false;
    m_entries.push_back(entryName);
    return true;
}

bool ArchiveExport::finish(const std::string& archivePath) {
    std::string archive;
    if (!testsystem::readFile(archivePath, archive) ||
        !testsystem::writeFile(m_folder + "/archive.zip", archive))
        return false;
    std::string manifest = std::string("made-on\t") + QUORALIS_TEST_SYSTEM + "\n";
    for (const std::string& entry : m_entries)
        manifest += "entry\t" + entry + "\n";
    return testsystem::writeFile(m_folder + "/manifest.txt", manifest);
}
