#include "platform/growingread.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {
// The size argument of the system calls is 32 bits.
constexpr std::size_t kLargestBuffer = std::size_t(1) << 31;
} // namespace

std::string readUntilWhole(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                           std::size_t truncatedMargin, std::size_t initialSize) {
    std::size_t size = std::max(initialSize, truncatedMargin + 1);
    std::vector<char> buffer;
    for (;;) {
        buffer.assign(size, '\0');
        const std::size_t length = std::min(read(buffer.data(), size), size);
        if (length + truncatedMargin < size || size >= kLargestBuffer)
            return std::string(buffer.data(), length);
        size *= 2;
    }
}

} // namespace platform
