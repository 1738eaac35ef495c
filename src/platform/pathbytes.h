#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A path as the bytes the program keeps, compares and stores in its settings: the name's own
// bytes where file names are bytes, UTF-8 where they are UTF-16.
inline std::string pathBytes(const std::filesystem::path& path) {
    if constexpr (sizeof(std::filesystem::path::value_type) == 1) {
        return path.string();
    } else {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
}

inline std::filesystem::path pathFromBytes(std::string_view bytes) {
    if constexpr (sizeof(std::filesystem::path::value_type) == 1)
        return std::filesystem::path(bytes);
    else
        return std::filesystem::path(
            std::u8string_view(reinterpret_cast<const char8_t*>(bytes.data()), bytes.size()));
}
