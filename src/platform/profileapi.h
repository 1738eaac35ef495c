#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Windows only: the system's own profile (INI) functions on one file, each call a whole read or
// write of the file, with the rules ProfileFile promises on every system (see profilefile.h).
// Names and values are bytes in the ANSI code page, as those functions take them.
namespace platform::profileapi {

// The value read back: blanks around it dropped, one pair of enclosing quotes removed, at most
// 2047 bytes; the default when the file, section or key is missing.
std::string readString(const std::filesystem::path& file, const std::string& section, const std::string& key,
                       const std::string& defaultValue);
// The names of the section's keys in file order; empty for a missing file or section.
std::vector<std::string> readKeys(const std::filesystem::path& file, const std::string& section);
// Stores the value up to its first line break or NUL byte; false when the file cannot be written.
bool writeString(const std::filesystem::path& file, const std::string& section, const std::string& key,
                 const std::string& value);
bool eraseSection(const std::filesystem::path& file, const std::string& section);

} // namespace platform::profileapi
