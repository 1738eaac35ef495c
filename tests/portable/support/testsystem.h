#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// What the engine's tests do to files in the way of each system: one implementation per system
// (testsystem_posix.cpp, testsystem_win.cpp). Paths are UTF-8.
namespace testsystem {

// The form of an absolute path that no length limit applies to ("\\?\C:\..." on Windows; the path
// itself elsewhere).
std::string longPathForm(const std::string& path);

// Makes the file one the system hides from listings, as far as its name does not already.
void markHidden(const std::string& path);

// Writes a file, making its folders first, also where the path is longer than the system's
// usual limit; false when it cannot.
bool writeFile(const std::string& path, const std::string& content);
// Reads a file (also at a long path) piece by piece; false when it cannot.
bool forEachPiece(const std::string& path,
                  const std::function<void(const char* data, std::size_t size)>& use);
// Reads a whole file (also at a long path); false when it cannot.
bool readFile(const std::string& path, std::string& content);
// A file's modification time in nanoseconds since 1970, and setting it; false when it cannot.
bool modificationTime(const std::string& path, std::int64_t& ns);
bool setModificationTime(const std::string& path, std::int64_t ns);

// Removes a folder with everything in it, also below the system's usual path limit; false when
// something is left.
bool removeTree(const std::string& path);

// Whether a file another program holds open (with delete sharing) may keep a new one from taking
// its name: where files are only names it never does.
bool openFilesMayBlockReplacing();

// Holds a file open for reading, letting others read, write, rename and remove it meanwhile, as
// an indexer or a virus scanner does.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool isOpen() const;

private:
    std::intptr_t m_handle;
};

} // namespace testsystem
