#pragma once

#include "engine/archivecheckrecord.h"
#include "platform/fileattributes.h"
#include "platform/fileinuse.h"
#include "platform/pathlist.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class ActivityLog;
class EventMarker;
class ProgressView;
class SettingsModel;
class ArchiveComponent;
class UserPrompts;

// Names archives and turns one collected file list into one archive.
class ArchiveJob {
public:
    struct Context {
        ArchiveComponent* zip = nullptr;
        SettingsModel* settings = nullptr;
        ActivityLog* log = nullptr;
        EventMarker* marker = nullptr;
        UserPrompts* prompts = nullptr;
        ProgressView* progress = nullptr;
        std::function<std::filesystem::path()> settingsFilePath;
    };

    explicit ArchiveJob(Context context);

    // Destination + "Quoralis" + "_" folder name (one archive per folder) + "_" timestamp
    // (dated names), without extension. Adds the missing separator to the destination field.
    std::filesystem::path ArchiveBaseName(const std::filesystem::path& folder);
    // The same without the date: what the dated archives of the folder's series begin with.
    std::filesystem::path seriesBaseName(const std::filesystem::path& folder) const;
    // The same for a folder named "MyDocs", without destination.
    QString ExampleArchiveName() const;
    // The archive's file name: the base name with ".zip" unless it already ends in it.
    static std::filesystem::path archiveFileName(const std::filesystem::path& baseName);

    // With changed files only: the mark of the archive series `folder` goes into, for the walk
    // and then MakeArchive. Otherwise none (epoch 0).
    platform::ArchiveMark archiveMark(const std::filesystem::path& folder);

    // One archive job from the backup file list. Counts the job, logs the result and sets
    // archiveFailed when the archive was not made or misses files. With mayReplace false an
    // existing archive is updated even when the settings say to replace it (its other entries
    // are still needed). The files the archive holds get `mark`, unless it is none. The list is
    // taken, not copied: a million paths are held once.
    void MakeArchive(const std::filesystem::path& baseName, PathList files, bool mayReplace = true,
                     const platform::ArchiveMark& mark = {});

    bool archiveFailed() const { return m_archiveFailed; }
    // The archives this run wrote, and their bytes.
    int archivesMade() const { return m_archivesMade; }
    quint64 bytesMade() const { return m_bytesMade; }
    // A new run: no archive failed or made yet.
    void beginRun() {
        m_archiveFailed = false;
        m_archivesMade = 0;
        m_bytesMade = 0;
    }
    void markArchiveFailed() { m_archiveFailed = true; }

private:
    // "Quoralis" with the folder and date parts the settings ask for.
    std::filesystem::path archiveName(const std::filesystem::path& folder) const;
    std::filesystem::path folderPart(const std::filesystem::path& folder) const;
    std::filesystem::path datePart() const;
    void SetNewZipFile(const std::filesystem::path& archive);
    // False when another job holds the archive: then nothing was written and nothing is counted.
    // `before` is the archive as it was before the job, when there was one.
    bool runComponent(const std::filesystem::path& baseName, const std::filesystem::path& archive,
                      const std::optional<ArchiveCheckRecord::Fingerprint>& before);
    ArchiveCheckRecord checkRecord() const;
    // After a job that wrote the archive or checked it whole, the time of that check is kept.
    void recordCheck(const std::filesystem::path& archive,
                     const std::optional<ArchiveCheckRecord::Fingerprint>& before);
    std::filesystem::path markRecordFile() const;
    void reportInUse(const std::filesystem::path& baseName);
    void reportNotReplaceable(const std::filesystem::path& baseName, const std::filesystem::path& archive,
                              platform::FileUse use);
    void countJob();

    Context m_context;
    bool m_archiveFailed = false;
    int m_archivesMade = 0;
    quint64 m_bytesMade = 0;
};
