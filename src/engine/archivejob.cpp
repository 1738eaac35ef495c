#include "engine/archivejob.h"

#include "backupset/formatsize.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivecomponent.h"
#include "engine/archivemarkbook.h"
#include "engine/progressview.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"
#include "log/timestamp.h"
#include "platform/fileinuse.h"
#include "platform/profilefile.h"
#include "zipengine_api.h"

#include <QDate>
#include <QDateTime>
#include <QDir>

#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A name is bytes: only the ASCII letters of ".zip" are looked at, in either case.
bool endsWithZipExtension(const fs::path& name) {
    const fs::path::string_type& text = name.native();
    constexpr std::string_view extension = ".zip";
    if (text.size() < extension.size())
        return false;
    const std::size_t start = text.size() - extension.size();
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const int c = text[start + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != extension[i])
            return false;
    }
    return true;
}

} // namespace

ArchiveJob::ArchiveJob(Context context)
    : m_context(std::move(context)) {}

fs::path ArchiveJob::folderPart(const fs::path& folder) const {
    if (!m_context.settings->isOn(Setting::EachFolder))
        return fs::path();
    std::basic_string_view<fs::path::value_type> name = folder.native();
    if (!name.empty() && name.back() == '/')
        name.remove_suffix(1);
    name.remove_prefix(name.rfind('/') + 1); // without a separator, npos + 1 keeps the whole name
    fs::path part("_");
    // The root folder has no name of its own.
    if (name.empty())
        part += "root";
    else
        part += name;
    return part;
}

fs::path ArchiveJob::datePart() const {
    if (!m_context.settings->isOn(Setting::MultiArchive))
        return fs::path();
    return pathFromText(QLatin1Char('_') + Timestamp::fileNameText(QDateTime::currentDateTime()));
}

fs::path ArchiveJob::archiveName(const fs::path& folder) const {
    fs::path name("Quoralis");
    name += folderPart(folder);
    name += datePart();
    return name;
}

fs::path ArchiveJob::ArchiveBaseName(const fs::path& folder) {
    fs::path baseName = m_context.settings->terminatedDestination();
    baseName += archiveName(folder);
    return baseName;
}

fs::path ArchiveJob::seriesBaseName(const fs::path& folder) const {
    fs::path baseName = m_context.settings->terminatedDestination();
    baseName += "Quoralis";
    baseName += folderPart(folder);
    return baseName;
}

QString ArchiveJob::ExampleArchiveName() const {
    return pathText(archiveName(fs::path("MyDocs")));
}

fs::path ArchiveJob::archiveFileName(const fs::path& baseName) {
    if (endsWithZipExtension(baseName))
        return baseName;
    fs::path archive = baseName;
    archive += ".zip";
    return archive;
}

fs::path ArchiveJob::markRecordFile() const {
    return m_context.settingsFilePath().parent_path() / "archivemarks.ini";
}

platform::ArchiveMark ArchiveJob::archiveMark(const fs::path& folder) {
    if (!m_context.settings->isOn(Setting::NewOnly))
        return {};
    fs::path series = seriesBaseName(folder);
    fs::path archive;
    if (m_context.settings->isOn(Setting::MultiArchive))
        series += "_*"; // the dated ones: compared with the one written last
    else
        archive = archiveFileName(ArchiveBaseName(folder));
    return ArchiveMarkBook(markRecordFile()).markFor(series, archive);
}

void ArchiveJob::MakeArchive(const fs::path& baseName, PathList files, bool mayReplace,
                             const platform::ArchiveMark& mark) {
    // The archive really written; the in-use test, the deletion, the update test and the
    // size all look at this one file.
    const fs::path archive = archiveFileName(baseName);
    // 1
    if (const platform::FileUse use = platform::fileUse(archive); use != platform::FileUse::Free) {
        reportNotReplaceable(baseName, archive, use);
        return;
    }
    // 2-13
    try {
        if (files.empty()) {
            m_context.log->logMessage(QStringLiteral("No files for backup"));
            return;
        }
        m_context.progress->prepareForNewArchive();
        m_context.marker->set(QStringLiteral("config_zip"));
        const SettingsModel& s = *m_context.settings;
        ArchiveComponent& zip = *m_context.zip;
        ArchiveComponent::AddOpts options = ArchiveComponent::AddDirNames;
        std::error_code ec;
        if (s.isOn(Setting::DelPrev) && mayReplace) {
            // The new archive is made from scratch and takes the previous one's place only when it
            // is complete: a cancel, a full disk or a kill leaves the previous backup.
            m_context.log->logMessage(QStringLiteral("Deleting previous backup"));
            options |= ArchiveComponent::AddFresh;
        } else if (fs::exists(archive, ec)) {
            options |= ArchiveComponent::AddUpdate;
        }
        if (s.isOn(Setting::IncludeHidden))
            options |= ArchiveComponent::AddHiddenFiles;
        zip.FileSpecList = std::move(files);
        zip.AddCompLevel = s.isOn(Setting::NoComp) ? 0 : 9;
        if (s.isOn(Setting::NewOnly))
            options |= ArchiveComponent::AddResetArchive;
        // An archive updated in place is given every file: the unchanged ones keep their entries,
        // and one whose entry is missing (removed by another program) is added again.
        if (s.isOn(Setting::NewOnly) && !s.isOn(Setting::MultiArchive) &&
            options.testFlag(ArchiveComponent::AddUpdate))
            options |= ArchiveComponent::AddUnchangedKept;
        // A kept archive is read whole at least once a week, also when nothing changed, so that
        // bytes rotted on the disk are found while the files are still there to replace them.
        const std::optional<ArchiveCheckRecord::Fingerprint> before =
            ArchiveCheckRecord::fingerprintOf(archive);
        if (before && !options.testFlag(ArchiveComponent::AddFresh) &&
            checkRecord().checkDue(archive, QDateTime::currentSecsSinceEpoch()))
            options |= ArchiveComponent::AddCheckKept;
        zip.AddOptions = options;
        zip.Mark = mark;
        m_context.marker->set(QStringLiteral("set_zip_file"));
        SetNewZipFile(archive);
        zip.ArchiveComment = QStringLiteral("Quoralis ") + Timestamp::shortDate(QDate::currentDate());
        if (!runComponent(baseName, archive, before))
            return;
    } catch (...) {
        // A failure inside the job must not stop the run; the job is still counted.
    }
    // 14-15
    countJob();
    m_context.marker->set(QStringLiteral("zip_done"));
}

void ArchiveJob::SetNewZipFile(const fs::path& archive) {
    m_context.marker->set(QStringLiteral("set_new_zipfile"));
    m_context.zip->ZipFileName = archive;
    std::error_code ignored;
    fs::current_path(archive.parent_path(), ignored);
}

void ArchiveJob::reportInUse(const fs::path& baseName) {
    m_context.log->logMessage(QStringLiteral("File is in use: ") + pathText(baseName));
    m_context.prompts->notify(QStringLiteral("Destination file is in use:\n\r") + pathText(baseName));
    m_archiveFailed = true;
}

void ArchiveJob::reportNotReplaceable(const fs::path& baseName, const fs::path& archive,
                                      platform::FileUse use) {
    if (use == platform::FileUse::InUse) {
        reportInUse(baseName);
        return;
    }
    QString reason;
    switch (use) {
    case platform::FileUse::Folder:
        reason = QStringLiteral("a folder has the archive's name: ");
        break;
    case platform::FileUse::NotRegular:
        reason = QStringLiteral("the archive's name is taken by something that is not a file: ");
        break;
    case platform::FileUse::ReadOnly:
        reason = QStringLiteral("the archive is read-only: ");
        break;
    case platform::FileUse::ReadOnlyFileSystem:
        reason = QStringLiteral("the destination is read-only: ");
        break;
    default:
        reason = QStringLiteral("the archive cannot be reached: ");
        break;
    }
    reason += pathText(archive);
    m_context.log->logMessage(QStringLiteral("Backup NOT created: ") + pathText(baseName) +
                              QStringLiteral(" (") + reason + QLatin1Char(')'));
    m_context.prompts->notify(pathText(baseName) + QStringLiteral(" NOT created, ") + reason);
    m_archiveFailed = true;
}

ArchiveCheckRecord ArchiveJob::checkRecord() const {
    return ArchiveCheckRecord(m_context.settingsFilePath().parent_path() / "Quoralis2005Checks.txt");
}

void ArchiveJob::recordCheck(const fs::path& archive,
                             const std::optional<ArchiveCheckRecord::Fingerprint>& before) {
    // Dated archives are new on every run: no later run keeps one.
    if (m_context.settings->isOn(Setting::MultiArchive))
        return;
    // Every job that writes the archive checks what it keeps and reads back what it adds.
    const std::optional<ArchiveCheckRecord::Fingerprint> after = ArchiveCheckRecord::fingerprintOf(archive);
    const bool written = after && (!before || *before != *after);
    if (!written && !m_context.zip->AddOptions.testFlag(ArchiveComponent::AddCheckKept))
        return;
    if (!checkRecord().noteChecked(archive, QDateTime::currentSecsSinceEpoch()))
        m_context.log->logMessage(QStringLiteral("The time of the archive's check could not be recorded: ") +
                                  pathText(archive));
}

bool ArchiveJob::runComponent(const fs::path& baseName, const fs::path& archive,
                              const std::optional<ArchiveCheckRecord::Fingerprint>& before) {
    m_context.marker->set(QStringLiteral("start_zip"));
    ArchiveComponent& zip = *m_context.zip;
    const int rc = zip.AddFiles();
    if (rc == ZE_ERR_IN_USE) {
        // Another run writes this archive now: this one leaves it alone.
        reportInUse(baseName);
        return false;
    }
    if (rc == ZE_ERR_CANCELLED) {
        // Whoever asked for the cancel waits for the run to end: no box of its own.
        m_context.log->logMessage(QStringLiteral("Backup cancelled, not created: ") + pathText(baseName));
        m_archiveFailed = true;
        return true;
    }
    if (rc != 0) {
        m_context.log->logMessage(QStringLiteral("Backup NOT created: ") + pathText(baseName));
        m_context.prompts->notify(pathText(archive) + QStringLiteral(" NOT created, ") + zip.ErrorText());
        m_archiveFailed = true;
        return true;
    }
    recordCheck(archive, before);
    if (zip.Mark.epoch != 0)
        ArchiveMarkBook(markRecordFile()).archiveWritten(zip.Mark, archive);
    if (zip.AddOptions.testFlag(ArchiveComponent::AddUnchangedKept) && zip.WrittenCount() == 0 &&
        zip.SkippedFiles().empty() && !zip.Incomplete()) {
        // Nothing changed and nothing was missing: the archive was left as it was.
        m_context.log->logMessage(QStringLiteral("No files for backup"));
        return false;
    }
    std::error_code ec;
    const auto size = fs::file_size(archive, ec);
    ++m_archivesMade;
    if (!ec)
        m_bytesMade += size;
    m_context.log->logMessage(QStringLiteral("Backup created: ") + pathText(baseName) + QStringLiteral(" (") +
                              FormatSize(ec ? -1 : static_cast<qint64>(size)) + QStringLiteral(")"));
    // An archive that misses files that could not be read, holds a file that kept changing, or
    // lost a damaged entry whose file is gone (its old archive kept aside) is no complete backup.
    if (zip.Incomplete() || !zip.SkippedFiles().empty() || !zip.ChangingFiles().empty())
        m_archiveFailed = true;
    return true;
}

void ArchiveJob::countJob() {
    const quint64 total = m_context.settings->totalBackups() + 1;
    m_context.settings->setTotalBackups(total);
    // A settings file that cannot be written costs the count, never the rest of the run.
    try {
        platform::ProfileFile ini(m_context.settingsFilePath());
        ini.writeInteger("stats", "total_backups", static_cast<qint32>(static_cast<quint32>(total)));
    } catch (const platform::ProfileWriteError& error) {
        m_context.log->logMessage(QString::fromUtf8(error.what()));
    }
}
