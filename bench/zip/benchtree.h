#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The benchmark's file trees, generated deterministically from a seed and kept between runs:
// a mixed tree (prose, source code, binaries, already-compressed files, media) and a tree of
// many small files. A tree is generated again only when its parameters change.
class BenchTree {
public:
    // A mixed tree of about `megabytes` MB below `folder`; returns its file count.
    static std::size_t makeMixed(const std::filesystem::path& folder, std::size_t megabytes);
    // `count` small text files below `folder`, 1000 to a subfolder.
    static void makeSmallFiles(const std::filesystem::path& folder, std::size_t count);
    // Every regular file below `folder`, sorted by path.
    static std::vector<std::filesystem::path> listFiles(const std::filesystem::path& folder);
};
