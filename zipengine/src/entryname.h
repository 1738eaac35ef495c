#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a file of the list is named inside the archive, and the name tests the engines need.
namespace entryname {

// The entry name of a file path: its folder path with "/" between folders and without where it
// starts (the root "/"; a drive, a share or the long form's prefix on Windows), relative paths taken
// from the current folder; or only the file name when `keepFolders` is false. Bytes stay bytes.
std::string forPath(const char* path, bool keepFolders);

bool isValidUtf8(std::string_view text);
// A name as valid UTF-8 for readers that need it: valid runs kept, every other byte taken as the
// Latin-1 character of that byte.
std::string utf8Rendition(std::string_view name);

// The name an entry stores for a file name that is not valid UTF-8: the UTF-8 rendition, in which
// no part between two "/" is longer than a file name may be (255 bytes). A longer part is cut and
// ends in "~" and eight hex digits of its exact bytes' CRC-32 (then its extension), so that two
// names cut alike still differ.
std::string storedName(std::string_view name);
constexpr std::size_t MaxComponentBytes = 255;

// True when the file name's extension (after the last ".") is one of `suffixes`, ignoring ASCII case.
bool hasSuffix(std::string_view path, const std::vector<std::string>& suffixes);

// True when the file name begins with "." (a hidden file).
bool isHidden(std::string_view path);

// True for names that could escape the destination folder: absolute, or with a ".." component.
bool isUnsafe(std::string_view name);

} // namespace entryname
