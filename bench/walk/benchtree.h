#pragma once

#include <filesystem>

// The benchmark's tree: 100,000 small files in nested folders and a few large (sparse) files.
// Made once and kept under /tmp, so later runs find it ready.
class BenchTree {
public:
    static std::filesystem::path ensure(const std::filesystem::path& base);
};
