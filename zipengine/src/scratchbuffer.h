#pragma once

#include <cstddef>
#include <memory>

// Room that is overwritten whole each time it is used, kept from one use to the next: it grows
// when asked for more and is never cleared, so that reusing it costs neither zero-filling nor
// fresh pages.
class ScratchBuffer {
public:
    unsigned char* room(std::size_t size);
    std::size_t capacity() const { return m_capacity; }

private:
    std::unique_ptr<unsigned char[]> m_data;
    std::size_t m_capacity = 0;
};
