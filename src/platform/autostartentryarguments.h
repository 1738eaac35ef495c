#pragma once

#include <string>

namespace platform {

// The arguments of a start command line such as a "Run" value: what follows the program,
// which is enclosed in double quotes or ends at the first blank.
class AutostartEntryArguments {
public:
    static std::wstring ofCommand(const std::wstring& command) {
        static constexpr const wchar_t* blanks = L" \t";
        const std::size_t begin = command.find_first_not_of(blanks);
        if (begin == std::wstring::npos)
            return {};
        std::size_t end;
        if (command[begin] == L'"') {
            end = command.find(L'"', begin + 1);
            if (end == std::wstring::npos)
                return {}; // no closing quote: nothing can be told apart
            ++end;
        } else {
            end = command.find_first_of(blanks, begin);
        }
        const std::size_t first = command.find_first_not_of(blanks, end);
        if (end == std::wstring::npos || first == std::wstring::npos)
            return {};
        return command.substr(first, command.find_last_not_of(blanks) + 1 - first);
    }
};

} // namespace platform
