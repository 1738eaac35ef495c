#include "restore/archivecontents.h"

#include "platform/pathbytes.h"

#include <algorithm>

namespace {

constexpr std::uint16_t MadeByUnix = 3;
constexpr std::uint32_t DosFolderAttribute = 0x10;
// The file type bits of a Unix mode as archives store it, whatever system reads them.
constexpr std::uint32_t UnixTypeMask = 0170000;
constexpr std::uint32_t UnixFolder = 0040000;
constexpr std::uint32_t UnixLink = 0120000;

} // namespace

bool ArchiveContents::open(const std::filesystem::path& archive) {
    m_path = archive;
    m_nodes.clear();
    m_folders.clear();
    m_files = 0;
    if (!m_reader.open(pathBytes(archive)))
        return false;
    buildTree();
    return true;
}

ArchiveContents::Item ArchiveContents::describe(const ArchiveReader::Entry& e) {
    Item it;
    it.name = e.name;
    it.size = e.uncompressedSize;
    it.mtimeNs = e.mtimeNs;
    const bool madeOnUnix = (e.versionMadeBy >> 8) == MadeByUnix;
    const std::uint32_t unixMode = madeOnUnix ? e.externalAttributes >> 16 : 0;
    it.mode = unixMode & 0777;
    if (madeOnUnix && (unixMode & UnixTypeMask) == UnixLink)
        it.kind = Kind::Link;
    else if ((!e.name.empty() && e.name.back() == '/') ||
             (madeOnUnix && (unixMode & UnixTypeMask) == UnixFolder) ||
             (!madeOnUnix && (e.externalAttributes & DosFolderAttribute)))
        it.kind = Kind::Folder;
    return it;
}

std::uint32_t ArchiveContents::folderNode(std::string_view path) {
    if (path.empty())
        return Root;
    if (const auto found = m_folders.find(path); found != m_folders.end())
        return found->second;
    const std::size_t slash = path.rfind('/');
    const std::uint32_t parent = slash == std::string_view::npos ? Root : folderNode(path.substr(0, slash));
    Node node;
    node.path = path;
    node.name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    node.parent = parent;
    node.folder = true;
    m_nodes.push_back(std::move(node));
    const auto id = static_cast<std::uint32_t>(m_nodes.size() - 1);
    m_nodes[parent].children.push_back(id);
    m_folders.emplace(path, id);
    return id;
}

void ArchiveContents::buildTree() {
    m_nodes.reserve(m_reader.count() + 1);
    Node root;
    root.folder = true;
    m_nodes.push_back(root);
    for (std::size_t i = 0; i < m_reader.count(); ++i) {
        const Item it = item(i);
        std::string_view path = it.name;
        while (!path.empty() && path.back() == '/')
            path.remove_suffix(1);
        if (path.empty())
            continue;
        if (it.kind == Kind::Folder) {
            Node& folder = m_nodes[folderNode(path)];
            if (folder.entry < 0)
                folder.entry = static_cast<std::int64_t>(i);
            folder.mtimeNs = std::max(folder.mtimeNs, it.mtimeNs);
            continue;
        }
        const std::size_t slash = path.rfind('/');
        const std::uint32_t parent =
            slash == std::string_view::npos ? Root : folderNode(path.substr(0, slash));
        Node node;
        node.path = path;
        node.name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        node.parent = parent;
        node.entry = static_cast<std::int64_t>(i);
        node.size = it.size;
        node.files = it.kind == Kind::File ? 1 : 0;
        node.mtimeNs = it.mtimeNs;
        m_nodes.push_back(std::move(node));
        m_nodes[parent].children.push_back(static_cast<std::uint32_t>(m_nodes.size() - 1));
        m_files += it.kind == Kind::File ? 1 : 0;
    }
    // Sums from the leaves up: every node was added after its parent.
    for (std::size_t n = m_nodes.size(); n-- > 1;) {
        Node& parent = m_nodes[m_nodes[n].parent];
        parent.size += m_nodes[n].size;
        parent.files += m_nodes[n].files;
        parent.mtimeNs = std::max(parent.mtimeNs, m_nodes[n].mtimeNs);
    }
    // Folders first, then by name, as a file manager shows them.
    for (Node& node : m_nodes) {
        std::sort(node.children.begin(), node.children.end(), [this](std::uint32_t a, std::uint32_t b) {
            const Node& x = m_nodes[a];
            const Node& y = m_nodes[b];
            if (x.folder != y.folder)
                return x.folder;
            return x.name < y.name;
        });
    }
}

std::vector<std::uint32_t> ArchiveContents::entriesBelow(std::uint32_t node) const {
    std::vector<std::uint32_t> out;
    std::vector<std::uint32_t> pending{node};
    while (!pending.empty()) {
        const Node& n = m_nodes[pending.back()];
        pending.pop_back();
        if (n.entry >= 0)
            out.push_back(static_cast<std::uint32_t>(n.entry));
        pending.insert(pending.end(), n.children.begin(), n.children.end());
    }
    std::sort(out.begin(), out.end());
    return out;
}
