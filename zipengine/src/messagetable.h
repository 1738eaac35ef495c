#pragma once

#include <map>
#include <string>

// The engine's table of error codes and texts: read from the message file (ResDlls.res) beside
// the engine library; codes missing there, or a missing file, fall back to built-in texts.
class MessageTable {
public:
    MessageTable();

    // Reads "code<TAB>text" lines; "#" lines and blank lines are ignored. False when unreadable.
    bool load(const std::string& path);
    // The message file beside the library that contains `symbolInLibrary`.
    static std::string besideLibrary(const void* symbolInLibrary);

    std::string text(int code) const;
    // The text of `code` followed by ": " and the detail (or the text alone when there is none).
    std::string format(int code, const std::string& detail) const;

private:
    std::map<int, std::string> m_texts;
};
