#include "restore/entrydatareader.h"

#include "engineplatform.h"
#include "zipformat.h"

#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::uint64_t WholeLimit = 32 << 20; // entries inflated in one step, by uncompressed size
constexpr std::size_t PieceSize = 1 << 20;

struct InflateStream {
    z_stream z{};
    bool open = false;
    ~InflateStream() {
        if (open)
            inflateEnd(&z);
    }
};

} // namespace

EntryDataReader::EntryDataReader(const ArchiveReader& reader)
    : m_reader(reader)
    , m_decompressor(libdeflate_alloc_decompressor()) {}

EntryDataReader::~EntryDataReader() {
    libdeflate_free_decompressor(m_decompressor);
}

bool EntryDataReader::readAt(std::uint64_t offset, char* into, std::size_t size) const {
    return engineplatform::readAllAt(m_reader.fd(), into, size, offset);
}

EntryDataReader::Result EntryDataReader::read(const ArchiveReader::Entry& entry, const Sink& sink,
                                              const std::function<bool()>& stop) {
    if (entry.flags & zipformat::FlagEncrypted)
        return Result::Unsupported;
    if (entry.method != zipformat::MethodStore && entry.method != zipformat::MethodDeflate)
        return Result::Unsupported;
    std::uint64_t offset = 0;
    std::string localExtra;
    if (!m_reader.locateData(entry, offset, localExtra))
        return Result::Damaged;
    // Some writers give an empty file no deflate data at all.
    if (entry.compressedSize == 0)
        return entry.uncompressedSize == 0 && entry.crc == 0 ? Result::Sound : Result::Damaged;
    if (entry.method == zipformat::MethodStore)
        return readStored(offset, entry, sink, stop);
    if (entry.uncompressedSize <= WholeLimit && entry.compressedSize <= WholeLimit + PieceSize)
        return inflateWhole(offset, entry, sink);
    return inflatePieces(offset, entry, sink, stop);
}

EntryDataReader::Result EntryDataReader::readStored(std::uint64_t offset, const ArchiveReader::Entry& entry,
                                                    const Sink& sink, const std::function<bool()>& stop) {
    if (entry.compressedSize != entry.uncompressedSize)
        return Result::Damaged;
    m_in.resize(PieceSize);
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < entry.compressedSize;) {
        if (stop())
            return Result::Stopped;
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(PieceSize, entry.compressedSize - done));
        if (!readAt(offset + done, m_in.data(), n))
            return Result::Damaged;
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, m_in.data(), n));
        if (!sink(m_in.data(), n))
            return Result::SinkFailed;
        done += n;
    }
    return crc == entry.crc ? Result::Sound : Result::Damaged;
}

EntryDataReader::Result EntryDataReader::inflateWhole(std::uint64_t offset, const ArchiveReader::Entry& entry,
                                                      const Sink& sink) {
    m_in.resize(static_cast<std::size_t>(entry.compressedSize));
    if (!readAt(offset, m_in.data(), m_in.size()))
        return Result::Damaged;
    // One byte more than announced, so that data inflating to more is caught.
    m_out.resize(static_cast<std::size_t>(entry.uncompressedSize) + 1);
    std::size_t produced = 0;
    if (libdeflate_deflate_decompress(m_decompressor, m_in.data(), m_in.size(), m_out.data(), m_out.size(),
                                      &produced) != LIBDEFLATE_SUCCESS ||
        produced != entry.uncompressedSize || libdeflate_crc32(0, m_out.data(), produced) != entry.crc)
        return Result::Damaged;
    return sink(m_out.data(), produced) ? Result::Sound : Result::SinkFailed;
}

EntryDataReader::Result EntryDataReader::inflatePieces(std::uint64_t offset,
                                                       const ArchiveReader::Entry& entry, const Sink& sink,
                                                       const std::function<bool()>& stop) {
    InflateStream stream;
    if (inflateInit2(&stream.z, -MAX_WBITS) != Z_OK)
        return Result::Damaged;
    stream.open = true;
    m_in.resize(PieceSize);
    m_out.resize(PieceSize);
    std::uint32_t crc = 0;
    std::uint64_t produced = 0;
    bool ended = false;
    for (std::uint64_t done = 0; done < entry.compressedSize && !ended;) {
        if (stop())
            return Result::Stopped;
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(PieceSize, entry.compressedSize - done));
        if (!readAt(offset + done, m_in.data(), n))
            return Result::Damaged;
        done += n;
        stream.z.next_in = reinterpret_cast<Bytef*>(m_in.data());
        stream.z.avail_in = static_cast<uInt>(n);
        // Zlib may hold output back when the buffer was full: go on until it leaves room.
        for (bool more = true; more && !ended;) {
            stream.z.next_out = reinterpret_cast<Bytef*>(m_out.data());
            stream.z.avail_out = static_cast<uInt>(m_out.size());
            const int rc = inflate(&stream.z, Z_NO_FLUSH);
            const std::size_t out = m_out.size() - stream.z.avail_out;
            if (rc == Z_STREAM_END)
                ended = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR) // a buffer error only asks for more input
                return Result::Damaged;
            produced += out;
            if (produced > entry.uncompressedSize)
                return Result::Damaged;
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, m_out.data(), out));
            if (out > 0 && !sink(m_out.data(), out))
                return Result::SinkFailed;
            more = rc != Z_BUF_ERROR && (stream.z.avail_in > 0 || stream.z.avail_out == 0);
        }
    }
    return ended && produced == entry.uncompressedSize && crc == entry.crc ? Result::Sound : Result::Damaged;
}
