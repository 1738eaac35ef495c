#include "extractjob.h"

#include "engineplatform.h"
#include "entryname.h"
#include "zipformat.h"

#include <libdeflate.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t BufferSize = 1 << 20;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

} // namespace

ExtractJob::ExtractJob(const ZeExtractCommand& command, const ZeCallbacks& callbacks,
                       const MessageTable& messages)
    : m_command(command)
    , m_report(callbacks, messages)
    , m_testOnly((command.options & ZE_EXTRACT_TEST_ONLY) != 0) {}

int ExtractJob::run(std::uint64_t archiveStart) {
    if (m_command.archivePath == nullptr || (!m_testOnly && m_command.destination == nullptr)) {
        message(ZE_ERR_BAD_COMMAND, std::string());
        return ZE_ERR_BAD_COMMAND;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_file_create(m_command.archivePath, archiveStart, -1, &error);
    zip_t* opened = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (opened == nullptr) {
        if (source != nullptr)
            zip_source_free(source);
        const int zipError = zip_error_code_zip(&error);
        const int code = (zipError == ZIP_ER_NOZIP || zipError == ZIP_ER_INCONS) ? ZE_ERR_BAD_ARCHIVE
                                                                                 : ZE_ERR_OPEN_ARCHIVE;
        message(code, std::string(m_command.archivePath) + ": " + zip_error_strerror(&error));
        zip_error_fini(&error);
        return code;
    }
    zip_error_fini(&error);
    std::unique_ptr<zip_t, ArchiveCloser> archive(opened);

    if (!m_testOnly) {
        std::error_code ec;
        std::filesystem::create_directories(m_command.destination, ec);
        m_destination = FolderHandle::open(m_command.destination);
        if (!m_destination.ok()) {
            message(ZE_ERR_EXTRACT_WRITE, std::string(m_command.destination) + ": " + std::strerror(errno));
            return ZE_ERR_EXTRACT_WRITE;
        }
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &st) == 0 &&
            (st.valid & ZIP_STAT_SIZE))
            m_totalBytes += st.size;
    }
    m_report.progress(ZE_PROGRESS_TOTAL_FILES, nullptr, static_cast<std::uint64_t>(count));
    m_report.progress(ZE_PROGRESS_TOTAL_SIZE, nullptr, m_totalBytes);
    int firstFailure = ZE_OK;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (m_report.terminateRequested()) {
            firstFailure = ZE_ERR_CANCELLED;
            message(ZE_ERR_CANCELLED, std::string());
            break;
        }
        const int rc = processEntry(archive.get(), static_cast<std::uint64_t>(i));
        if (rc != ZE_OK && firstFailure == ZE_OK)
            firstFailure = rc;
    }
    m_destination = FolderHandle();
    m_report.progress(ZE_PROGRESS_END_OF_BATCH, nullptr, 0);
    if (firstFailure != ZE_OK && firstFailure != ZE_ERR_CANCELLED && m_testOnly) {
        message(ZE_ERR_TEST_FAILED, m_command.archivePath);
        return ZE_ERR_TEST_FAILED;
    }
    return firstFailure;
}

int ExtractJob::processEntry(zip* archive, std::uint64_t index) {
    const char* storedName = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
    zip_stat_t st;
    if (storedName == nullptr || zip_stat_index(archive, index, ZIP_FL_ENC_RAW, &st) != 0) {
        message(ZE_ERR_ENTRY_READ, "#" + std::to_string(index) + ": " + zip_strerror(archive));
        return ZE_ERR_ENTRY_READ;
    }
    const std::string name = fileNameOf(archive, index, storedName);
    m_report.progress(ZE_PROGRESS_NEW_FILE, name.c_str(), st.size);
    m_report.item(name.c_str(), st.size, 0);
    if (!m_testOnly && entryname::isUnsafe(name)) {
        message(ZE_ERR_UNSAFE_NAME, name);
        return ZE_ERR_UNSAFE_NAME;
    }
    if (!name.empty() && name.back() == '/') {
        if (!m_testOnly && !m_destination.walk(name, false).ok()) {
            message(ZE_ERR_EXTRACT_WRITE, name + ": " + std::strerror(errno));
            return ZE_ERR_EXTRACT_WRITE;
        }
        return ZE_OK;
    }
    int out = -1;
    if (!m_testOnly) {
        if (const int rc = openOutput(name, out); rc != ZE_OK)
            return rc;
    }
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr) {
        if (out >= 0)
            engineplatform::closeFile(out);
        message(ZE_ERR_ENTRY_READ, name + ": " + zip_strerror(archive));
        return ZE_ERR_ENTRY_READ;
    }
    std::vector<char> buffer(BufferSize);
    std::uint32_t crc = 0;
    std::uint64_t total = 0;
    int rc = ZE_OK;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
        if (n < 0) {
            const int zipError = zip_error_code_zip(zip_file_get_error(file));
            rc = zipError == ZIP_ER_CRC ? ZE_ERR_CRC : ZE_ERR_ENTRY_READ;
            message(rc, name + ": " + zip_file_strerror(file));
            break;
        }
        if (n == 0)
            break;
        crc = libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n));
        total += static_cast<std::uint64_t>(n);
        m_doneBytes += static_cast<std::uint64_t>(n);
        if (out >= 0 && !engineplatform::writeAll(out, buffer.data(), static_cast<std::size_t>(n))) {
            rc = ZE_ERR_EXTRACT_WRITE;
            message(rc, name + ": " + std::strerror(errno));
            break;
        }
        m_report.total(m_totalBytes, m_doneBytes);
        if (m_report.terminateRequested()) {
            rc = ZE_ERR_CANCELLED;
            break;
        }
    }
    zip_fclose(file);
    if (rc == ZE_OK && ((st.valid & ZIP_STAT_CRC) && crc != st.crc)) {
        rc = ZE_ERR_CRC;
        message(rc, name);
    } else if (rc == ZE_OK && (st.valid & ZIP_STAT_SIZE) && total != st.size) {
        rc = ZE_ERR_ENTRY_READ;
        message(rc, name + ": size differs from the directory");
    }
    if (out >= 0) {
        if (rc == ZE_OK)
            applyAttributes(archive, index, out, (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0);
        if (engineplatform::closeFile(out) != 0 && rc == ZE_OK) {
            rc = ZE_ERR_EXTRACT_WRITE;
            message(rc, name + ": " + std::strerror(errno));
        }
    }
    return rc;
}

std::string ExtractJob::fileNameOf(zip* archive, std::uint64_t index, const char* storedName) {
    zip_uint16_t length = 0;
    const zip_uint8_t* field =
        zip_file_extra_field_get_by_id(archive, index, zipformat::ExtraRawName, 0, &length, ZIP_FL_CENTRAL);
    std::string_view name = storedName;
    zipformat::rawNameOf(field, length, storedName, name);
    return std::string(name);
}

int ExtractJob::openOutput(const std::string& name, int& fd) {
    const std::size_t slash = name.rfind('/');
    // Neither the folders nor the file are reached through a link.
    const FolderHandle folder = m_destination.walk(
        slash == std::string::npos ? std::string_view() : std::string_view(name).substr(0, slash), false);
    const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
    fd = folder.ok() ? folder.createFile(leaf, FolderHandle::Create::Truncate, 0600) : -1;
    if (fd < 0) {
        message(ZE_ERR_EXTRACT_WRITE, name + ": " + std::strerror(errno));
        return ZE_ERR_EXTRACT_WRITE;
    }
    return ZE_OK;
}

void ExtractJob::applyAttributes(zip* archive, std::uint64_t index, int fd, std::int64_t fallbackTime) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    std::uint32_t mode = 0644;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0777) != 0)
        mode = (attributes >> 16) & 0777;
    engineplatform::setFileMode(fd, mode);

    // The most exact time the entry holds: NTFS ticks (any year), the Unix field, the DOS time.
    struct timespec mtime {};
    mtime.tv_sec = static_cast<time_t>(fallbackTime);
    zip_uint16_t length = 0;
    std::int64_t ticks = 0;
    std::int64_t accessTicks = 0;
    const zip_uint8_t* field =
        zip_file_extra_field_get_by_id(archive, index, zipformat::ExtraNtfs, 0, &length, ZIP_FL_CENTRAL);
    if (field != nullptr && zipformat::ntfsTicks(field, length, ticks, accessTicks)) {
        mtime = zipformat::unixTimeOf(ticks);
    } else {
        field = zip_file_extra_field_get_by_id(archive, index, zipformat::ExtraTimestamp, 0, &length,
                                               ZIP_FL_CENTRAL);
        if (field != nullptr && length >= 5 && (field[0] & 1))
            mtime.tv_sec = static_cast<std::int32_t>(zipformat::get32(field + 1));
    }
    engineplatform::setFileTimes(fd, mtime, false);
}

void ExtractJob::message(int code, const std::string& detail) {
    m_report.message(code, detail);
}
