#include "scratchbuffer.h"

unsigned char* ScratchBuffer::room(std::size_t size) {
    if (size > m_capacity || !m_data) {
        m_data.reset(); // the old room goes first: both at once could be twice the memory
        m_data.reset(new unsigned char[size == 0 ? 1 : size]);
        m_capacity = size;
    }
    return m_data.get();
}
