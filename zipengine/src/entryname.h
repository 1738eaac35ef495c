#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a file of the list is named inside the archive, and the name tests the engines need.
namespace entryname {

// The entry name of a file path: its folder path without the root "/" (relative paths are taken
// from the current folder), or only the file name when `keepFolders` is false. Bytes stay bytes.
std::string forPath(const char* path, bool keepFolders);

bool isValidUtf8(std::string_view text);
// A name as valid UTF-8 for readers that need it: valid runs kept, every other byte taken as the
// Latin-1 character of that byte.
std::string utf8Rendition(std::string_view name);

// True when the file name's extension (after the last ".") is one of `suffixes`, ignoring ASCII case.
bool hasSuffix(std::string_view path, const std::vector<std::string>& suffixes);

// True when the file name begins with "." (a hidden file).
bool isHidden(std::string_view path);

// True for names that could escape the destination folder: absolute, or with a ".." component.
bool isUnsafe(std::string_view name);

} // namespace entryname
