#pragma once

#include "archivereader.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One archive's entries, read from its central directory only, and the folder tree they form.
// Names stay the bytes the archive holds.
class ArchiveContents {
public:
    enum class Kind { File, Folder, Link };

    struct Item {
        std::string_view name; // as stored, a folder's with its trailing "/"
        Kind kind = Kind::File;
        std::uint64_t size = 0;
        std::int64_t mtimeNs = 0;
        std::uint32_t mode = 0; // Unix permission bits, 0 when the archive holds none
    };

    // A folder or file of the tree. Folders that have no entry of their own have entry == NoEntry.
    struct Node {
        std::string_view name; // the last component
        std::string_view path; // the full name without a trailing "/"
        std::uint32_t parent = 0;
        std::int64_t entry = -1;
        bool folder = false;
        std::uint64_t size = 0;   // of every file below a folder
        std::uint64_t files = 0;  // files below a folder
        std::int64_t mtimeNs = 0; // a folder's newest file
        std::vector<std::uint32_t> children;
    };
    static constexpr std::uint32_t Root = 0;

    // False with errorText() when the archive cannot be read.
    bool open(const std::filesystem::path& archive);
    const std::string& errorText() const { return m_reader.errorText(); }
    const std::filesystem::path& path() const { return m_path; }

    std::size_t count() const { return m_reader.count(); }
    Item item(std::size_t index) const { return describe(m_reader.entry(index)); }
    static Item describe(const ArchiveReader::Entry& entry);
    std::uint64_t fileCount() const { return m_files; }

    const std::vector<Node>& nodes() const { return m_nodes; }
    // Every entry at or below a node (a file's own entry, a folder's entries and its contents').
    std::vector<std::uint32_t> entriesBelow(std::uint32_t node) const;

    const ArchiveReader& reader() const { return m_reader; }

private:
    void buildTree();
    std::uint32_t folderNode(std::string_view path);

    std::filesystem::path m_path;
    ArchiveReader m_reader;
    std::vector<Node> m_nodes;
    std::unordered_map<std::string_view, std::uint32_t> m_folders; // by path
    std::uint64_t m_files = 0;
};
