#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Makes files and folders with the state a test wants, through the system's own calls, paths of
// any length included (on Windows in the long-path form). Each returns false when it failed.
namespace treemaker {

bool makeFolder(const std::filesystem::path& path);
// A file of `size` bytes (zeros, held sparse where the system allows it).
bool makeFile(const std::filesystem::path& path, std::uint64_t size);
// The modification time, in nanoseconds since the Unix epoch, to the system's precision.
bool setModified(const std::filesystem::path& path, std::int64_t unixNs);
// The hidden attribute where the system has one; nothing to do elsewhere.
bool setHiddenAttribute(const std::filesystem::path& path);
// Sets an environment variable of this process; the value is UTF-8.
bool setEnvironment(const char* name, const std::string& value);
// "windows" or "linux": which system's rules the test data's expectations are read for.
const char* systemName();
// Whether this runs under Wine, where a few answers are Wine's own, not Windows's.
bool underWine();

} // namespace treemaker
