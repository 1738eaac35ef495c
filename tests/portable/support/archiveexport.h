#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Leaves an archive a test made under QUORALIS_TEST_OUTPUT_DIR/<case>: archive.zip, the tree's
// files under the names their entries must have (tree/<entry name>), and manifest.txt, for the
// check that reads it with other tools on Linux (tests/portable/check_archives.py).
class ArchiveExport {
public:
    explicit ArchiveExport(const std::string& caseName);

    // A file of the tree, copied under the name its entry must have; false when it cannot be.
    bool addFile(const std::string& entryName, const std::string& sourcePath);
    // A file of `size` zero bytes, made without writing them.
    bool addZeros(const std::string& entryName, std::uint64_t size);
    // Copies the archive and writes the manifest; false when it cannot.
    bool finish(const std::string& archivePath);

private:
    std::string m_folder;
    std::vector<std::string> m_entries;
};
