#include "entrydatacheck.h"

#include "engineplatform.h"

#include "zipformat.h"

#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>

namespace {
constexpr std::uint64_t InMemoryLimit = 32 << 20; // uncompressed bytes checked in one step
constexpr std::size_t StepSize = 1 << 20;
} // namespace

struct EntryDataCheck::Stream {
    z_stream z{};
    bool open = false;
    bool ended = false;
    ~Stream() {
        if (open)
            inflateEnd(&z);
    }
};

EntryDataCheck::EntryDataCheck(std::uint16_t method, std::uint64_t compressedSize,
                               std::uint64_t uncompressedSize, std::uint32_t crc)
    : m_method(method)
    , m_compressedSize(compressedSize)
    , m_uncompressedSize(uncompressedSize)
    , m_crc(crc) {}

EntryDataCheck::~EntryDataCheck() = default;

bool EntryDataCheck::checkable() const {
    return m_method == zipformat::MethodStore || m_method == zipformat::MethodDeflate;
}

bool EntryDataCheck::fitsInMemory() const {
    return m_uncompressedSize <= InMemoryLimit && m_compressedSize <= InMemoryLimit + (1 << 20);
}

bool EntryDataCheck::check(const unsigned char* data, std::size_t size,
                           libdeflate_decompressor* decompressor) {
    if (size != m_compressedSize)
        return false;
    if (size == 0)
        return m_uncompressedSize == 0 && m_crc == 0;
    if (m_method == zipformat::MethodStore)
        return size == m_uncompressedSize && libdeflate_crc32(0, data, size) == m_crc;
    if (m_method != zipformat::MethodDeflate || !fitsInMemory())
        return false;
    m_scratch.resize(static_cast<std::size_t>(m_uncompressedSize) + 1);
    std::size_t produced = 0;
    // One byte of room more than announced: data that inflates to more is caught.
    if (libdeflate_deflate_decompress(decompressor, data, size, m_scratch.data(), m_scratch.size(),
                                      &produced) != LIBDEFLATE_SUCCESS)
        return false;
    return produced == m_uncompressedSize && libdeflate_crc32(0, m_scratch.data(), produced) == m_crc;
}

bool EntryDataCheck::feed(const unsigned char* data, std::size_t size) {
    if (m_failed)
        return false;
    m_fed += size;
    if (m_fed > m_compressedSize)
        return m_failed = true, false;
    if (m_method == zipformat::MethodStore) {
        m_runningCrc = static_cast<std::uint32_t>(libdeflate_crc32(m_runningCrc, data, size));
        m_produced += size;
        return true;
    }
    if (m_method != zipformat::MethodDeflate)
        return m_failed = true, false;
    if (!m_stream) {
        m_stream = std::make_unique<Stream>();
        if (inflateInit2(&m_stream->z, -MAX_WBITS) != Z_OK)
            return m_failed = true, false;
        m_stream->open = true;
        m_scratch.resize(StepSize);
    }
    z_stream& z = m_stream->z;
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    while (z.avail_in > 0 && !m_stream->ended) {
        z.next_out = m_scratch.data();
        z.avail_out = static_cast<uInt>(m_scratch.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t out = m_scratch.size() - z.avail_out;
        m_runningCrc = static_cast<std::uint32_t>(libdeflate_crc32(m_runningCrc, m_scratch.data(), out));
        m_produced += out;
        if (rc == Z_STREAM_END)
            m_stream->ended = true;
        else if (rc != Z_OK && !(rc == Z_BUF_ERROR && out > 0))
            return m_failed = true, false;
        if (m_produced > m_uncompressedSize)
            return m_failed = true, false;
    }
    return true;
}

bool EntryDataCheck::finish() {
    if (m_failed || m_fed != m_compressedSize || m_produced != m_uncompressedSize || m_runningCrc != m_crc)
        return false;
    if (m_method == zipformat::MethodDeflate) {
        if (m_uncompressedSize == 0 && m_compressedSize == 0)
            return true;
        return m_stream && m_stream->ended;
    }
    return m_method == zipformat::MethodStore && m_fed == m_produced;
}

bool EntryDataCheck::checkFile(int fd, std::uint64_t offset, libdeflate_decompressor* decompressor) {
    if (!checkable())
        return false;
    const bool whole = fitsInMemory();
    std::vector<unsigned char> buffer(whole ? static_cast<std::size_t>(m_compressedSize)
                                            : std::min<std::uint64_t>(m_compressedSize, StepSize));
    std::uint64_t done = 0;
    while (done < m_compressedSize) {
        const std::size_t want =
            whole ? static_cast<std::size_t>(m_compressedSize - done)
                  : static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), m_compressedSize - done));
        unsigned char* into = whole ? buffer.data() + done : buffer.data();
        const ssize_t n = engineplatform::readAt(fd, into, want, static_cast<std::uint64_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (!whole && !feed(into, static_cast<std::size_t>(n)))
            return false;
        done += static_cast<std::uint64_t>(n);
    }
    return whole ? check(buffer.data(), buffer.size(), decompressor) : finish();
}
