#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// Reads text through a call that fills a caller's buffer and, when the text does not fit, cuts
// it short and returns the buffer's size less `truncatedMargin` (1 for one value, 2 for a list
// of NUL-ended names). The buffer doubles until the text is whole.
//
// `read(buffer, size)` returns the number of characters it stored, its terminator not counted.
std::string readUntilWhole(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                           std::size_t truncatedMargin, std::size_t initialSize = 32768);

} // namespace platform
