#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>

// Helpers the Windows implementations of the engine's platform files share.
namespace engineplatform::win {

// UTF-8 to UTF-16 and back.
std::wstring utf16Of(const char* text);
std::string utf8Of(const wchar_t* text, int length);

// A path as the system's file calls take it: UTF-16, with "\\" between folders, and an absolute
// path in the long form ("\\?\C:\...", "\\?\UNC\server\share\...") that no length limit
// applies to; "." and ".." are resolved first, as the long form takes every name literally.
std::wstring systemPath(const char* utf8Path);

// Sets errno from GetLastError() and returns it.
int errnoFromLastError();

// The system handle behind a descriptor; INVALID_HANDLE_VALUE with errno set when there is none.
HANDLE handleOf(int fd);

// The full path of an open file or folder, as the system resolved it ("\\?\" form); empty with
// errno set when it cannot be told.
std::wstring finalPathOf(HANDLE handle);

// Times since 1970 and the system's 100-nanosecond ticks since 1601.
FILETIME fileTimeOf(const timespec& time);
std::int64_t nanosecondsOf(const FILETIME& time);

} // namespace engineplatform::win
