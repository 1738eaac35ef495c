#pragma once

#include <string>
#include <string_view>

// Comparison "without regard to case" for names and paths that are bytes: a name that is
// valid UTF-8 is folded as Unicode text, any other name has only its ASCII letters folded.
// Equal bytes always fold alike, so a name that is not UTF-8 still matches itself.
class CaseFolding {
public:
    static std::string fold(std::string_view bytes);
    static bool equal(std::string_view a, std::string_view b) { return fold(a) == fold(b); }
};
