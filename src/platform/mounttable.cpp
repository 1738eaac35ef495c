#include "platform/mounttable.h"

#include <array>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos)
            fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) && isOctal(text[i + 2]) &&
            isOctal(text[i + 3])) {
            out.push_back(
                char(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) | (text[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool parseDevice(std::string_view text, unsigned& major, unsigned& minor) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size())
        return false;
    auto number = [](std::string_view digits, unsigned& value) {
        value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + unsigned(c - '0');
        }
        return true;
    };
    return number(text.substr(0, colon), major) && number(text.substr(colon + 1), minor);
}

bool isUnder(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return !path.empty() && path.front() == '/';
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

constexpr std::array remoteTypes{
    "nfs",        "nfs4",           "cifs",
    "smb3",       "smbfs",          "ncpfs",
    "afs",        "ceph",           "glusterfs",
    "lustre",     "coda",           "davfs",
    "sshfs",      "fuse.sshfs",     "fuse.rclone",
    "fuse.s3fs",  "fuse.curlftpfs", "fuse.smbnetfs",
    "fuse.davfs", "fuse.glusterfs", "fuse.gvfsd-fuse",
    "fuse.ceph",  "fuse.cephfs",    "fuse.goofys",
};

bool isOneOf(const std::string& type, const auto& list) {
    for (const char* candidate : list) {
        if (type == candidate)
            return true;
    }
    return false;
}

bool readsOne(const std::filesystem::path& file) {
    std::ifstream in(file);
    char first = 0;
    return in.get(first) && first == '1';
}

} // namespace

MountTable MountTable::parse(std::string_view mountInfo) {
    MountTable table;
    std::size_t pos = 0;
    while (pos < mountInfo.size()) {
        const std::size_t end = std::min(mountInfo.find('\n', pos), mountInfo.size());
        const std::vector<std::string_view> fields = splitFields(mountInfo.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        std::size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (fields.size() < 7 || separator + 1 >= fields.size())
            continue;
        MountEntry entry;
        if (!parseDevice(fields[2], entry.major, entry.minor))
            continue;
        entry.mountPoint = unescape(fields[4]);
        entry.fsType = unescape(fields[separator + 1]);
        entry.source = separator + 2 < fields.size() ? unescape(fields[separator + 2]) : std::string();
        table.m_entries.push_back(std::move(entry));
    }
    return table;
}

MountTable MountTable::current() {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

const MountEntry* MountTable::mountOf(const std::filesystem::path& canonicalPath) const {
    const std::string& path = canonicalPath.native();
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : m_entries) {
        const std::string& point = entry.mountPoint.native();
        if (isUnder(path, point) && (!best || point.size() >= best->mountPoint.native().size()))
            best = &entry;
    }
    return best;
}

DriveType MountTable::classify(const MountEntry& entry,
                               const std::function<bool(unsigned major, unsigned minor)>& isRemovableDevice) {
    if (isOneOf(entry.fsType, remoteTypes))
        return DriveType::Remote;
    if (entry.fsType == "iso9660" || entry.fsType == "udf")
        return DriveType::CdRom;
    if (entry.fsType == "tmpfs" || entry.fsType == "ramfs")
        return DriveType::RamDisk;
    const std::string& point = entry.mountPoint.native();
    if (isUnder(point, "/media") || isUnder(point, "/run/media"))
        return DriveType::Removable;
    // Major 0 is the range of devices without a block device behind them.
    if (entry.major != 0 && isRemovableDevice && isRemovableDevice(entry.major, entry.minor))
        return DriveType::Removable;
    return DriveType::Fixed;
}

bool MountTable::isRemovableBlockDevice(unsigned major, unsigned minor,
                                        const std::filesystem::path& sysRoot) {
    const std::filesystem::path device =
        sysRoot / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
    if (readsOne(device / "removable"))
        return true;
    // A partition has no flag of its own; its folder sits inside the folder of its disk.
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(device, error);
    return !error && std::filesystem::exists(real / "partition", error) &&
           readsOne(real.parent_path() / "removable");
}

} // namespace platform
