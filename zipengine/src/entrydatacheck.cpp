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

void EntryDataCheck::acceptStoredCrc(std::uint32_t storedCrc) {
    m_acceptedStoredCrc = storedCrc;
    m_storedCrcAccepted = true;
}

bool EntryDataCheck::checkable() const {
    return m_method == zipformat::MethodStore || m_method == zipformat::MethodDeflate;
}

bool EntryDataCheck::readable(std::uint16_t method, std::uint16_t flags) {
    return (method == zipformat::MethodStore || method == zipformat::MethodDeflate) &&
           (flags & zipformat::FlagEncrypted) == 0;
}

bool EntryDataCheck::fitsInMemory() const {
    return m_uncompressedSize <= InMemoryLimit && m_compressedSize <= InMemoryLimit + (1 << 20);
}

bool EntryDataCheck::check(const unsigned char* data, std::size_t size, libdeflate_decompressor* decompressor,
                           ScratchBuffer* output) {
    if (size != m_compressedSize)
        return false;
    if (size == 0)
        return m_uncompressedSize == 0 && m_crc == 0;
    m_storedCrc = static_cast<std::uint32_t>(libdeflate_crc32(0, data, size));
    if (m_method == zipformat::MethodStore)
        return size == m_uncompressedSize && m_storedCrc == m_crc;
    if (m_method != zipformat::MethodDeflate || !fitsInMemory())
        return false;
    if (m_storedCrcAccepted && m_storedCrc == m_acceptedStoredCrc)
        return true;
    // One byte of room more than announced: data that inflates to more is caught.
    const auto room = static_cast<std::size_t>(m_uncompressedSize) + 1;
    unsigned char* out = (output != nullptr ? *output : m_ownOutput).room(room);
    std::size_t produced = 0;
    if (libdeflate_deflate_decompress(decompressor, data, size, out, room, &produced) != LIBDEFLATE_SUCCESS)
        return false;
    return produced == m_uncompressedSize && libdeflate_crc32(0, out, produced) == m_crc;
}

bool EntryDataCheck::feed(const unsigned char* data, std::size_t size) {
    if (m_failed)
        return false;
    m_fed += size;
    if (m_fed > m_compressedSize)
        return m_failed = true, false;
    m_storedCrc = static_cast<std::uint32_t>(libdeflate_crc32(m_storedCrc, data, size));
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
    }
    unsigned char* out = m_ownOutput.room(StepSize);
    z_stream& z = m_stream->z;
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    while (z.avail_in > 0 && !m_stream->ended) {
        z.next_out = out;
        z.avail_out = static_cast<uInt>(StepSize);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t made = StepSize - z.avail_out;
        m_runningCrc = static_cast<std::uint32_t>(libdeflate_crc32(m_runningCrc, out, made));
        m_produced += made;
        if (rc == Z_STREAM_END)
            m_stream->ended = true;
        else if (rc != Z_OK && !(rc == Z_BUF_ERROR && made > 0))
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

bool EntryDataCheck::checkFile(int fd, std::uint64_t offset, libdeflate_decompressor* decompressor,
                               ScratchBuffer* input, ScratchBuffer* output) {
    if (!checkable())
        return false;
    const bool whole = fitsInMemory();
    ScratchBuffer& in = input != nullptr ? *input : m_ownInput;
    if (!whole && m_storedCrcAccepted && m_method == zipformat::MethodDeflate) {
        std::uint32_t crc = 0;
        if (!storedCrcOfFile(fd, offset, in, crc))
            return false;
        if (crc == m_acceptedStoredCrc) {
            m_storedCrc = crc;
            return true;
        }
    }
    const std::size_t bufferSize =
        whole ? static_cast<std::size_t>(m_compressedSize)
              : static_cast<std::size_t>(std::min<std::uint64_t>(m_compressedSize, StepSize));
    unsigned char* buffer = in.room(bufferSize);
    for (std::uint64_t done = 0; done < m_compressedSize;) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(bufferSize, m_compressedSize - done));
        if (!engineplatform::readAllAt(fd, buffer, want, offset + done))
            return false;
        if (!whole && !feed(buffer, want))
            return false;
        done += want;
    }
    return whole ? check(buffer, bufferSize, decompressor, output) : finish();
}

bool EntryDataCheck::storedCrcOfFile(int fd, std::uint64_t offset, ScratchBuffer& buffer,
                                     std::uint32_t& crc) const {
    const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(m_compressedSize, StepSize));
    unsigned char* into = buffer.room(step);
    crc = 0;
    for (std::uint64_t done = 0; done < m_compressedSize;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(step, m_compressedSize - done));
        if (!engineplatform::readAllAt(fd, into, want, offset + done))
            return false;
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, into, want));
        done += want;
    }
    return true;
}
