#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A file-name mask such as "*.zip": "*" stands for any run of characters, "?" for one
// character, and case is ignored. A name that is valid UTF-8 is compared as Unicode text;
// any other name is compared byte by byte with only its ASCII letters folded.
class FileMask {
public:
    explicit FileMask(std::string_view pattern);

    bool matches(const std::filesystem::path& name) const;

private:
    std::u32string m_pattern;
};
