#pragma once

#include <QtGlobal>

#include <cstdint>
#include <filesystem>
#include <optional>

// When each archive was last checked whole, kept in a small file of this setup (beside its
// settings file), so that it works on any destination, a stick without extended attributes too,
// and two setups never share it. An archive is due for a check when the file holds no record of
// its path, when the record was made for another file (device, inode, size or modification time
// differ: replaced, copied back, changed by another program), or when its check is older than
// the interval. A record file that is missing or cannot be read makes every archive due.
class ArchiveCheckRecord {
public:
    static constexpr qint64 CheckIntervalSeconds = 7 * 24 * 60 * 60;

    struct Fingerprint {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t mtimeNs = 0;
        bool operator==(const Fingerprint&) const = default;
    };

    explicit ArchiveCheckRecord(std::filesystem::path recordFile);

    bool checkDue(const std::filesystem::path& archive, qint64 nowSeconds) const;
    // Records that the archive, as it is now, was checked whole at `nowSeconds`. Records of
    // archives that are gone are dropped. False when the record file cannot be written.
    bool noteChecked(const std::filesystem::path& archive, qint64 nowSeconds) const;

    static std::optional<Fingerprint> fingerprintOf(const std::filesystem::path& archive);

private:
    std::filesystem::path m_file;
};
