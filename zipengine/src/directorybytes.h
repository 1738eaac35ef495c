#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The bytes of an archive's central directory, as an archive reader holds them. Where the system
// can, they are mapped from the file rather than copied, and the pages read are given back to the
// system every so many looks (they come back from the file when looked at again): a directory of
// a million entries then costs a few megabytes of memory instead of its size. Elsewhere, and
// where the file cannot be mapped, they are read into memory. One implementation per system
// (directorybytes_posix.cpp, directorybytes_win.cpp).
class DirectoryBytes {
public:
    DirectoryBytes() = default;
    ~DirectoryBytes();
    DirectoryBytes(const DirectoryBytes&) = delete;
    DirectoryBytes& operator=(const DirectoryBytes&) = delete;

    // The `size` bytes of `fd` at `offset`; false when they cannot be read.
    bool load(int fd, std::uint64_t offset, std::size_t size);
    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

    // Says that a part of the bytes was looked at; safe from several threads at once.
    void looked() const {
        if ((m_looks.fetch_add(1, std::memory_order_relaxed) & (LooksPerRelease - 1)) == LooksPerRelease - 1)
            release();
    }
    // Gives the pages read so far back to the system, where they are mapped.
    void release() const;

    // Looks between two releases; at most this many pages of the directory stay in memory.
    static constexpr std::uint32_t LooksPerRelease = 1u << 14;

private:
    void unload();
    // Reads the bytes into memory, where they cannot be mapped.
    bool readCopy(int fd, std::uint64_t offset, std::size_t size);

    std::string m_copy; // where the bytes were read
    void* m_map = nullptr;
    std::size_t m_mapSize = 0;
    const char* m_data = "";
    std::size_t m_size = 0;
    mutable std::atomic<std::uint32_t> m_looks{0};
};
