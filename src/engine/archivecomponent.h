#pragma once

#include "engine/enginelibrary.h"
#include "platform/fileattributes.h"
#include "platform/pathlist.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class EngineEventBridge;
struct ZeCallbacks;

// The archive component: writes ZIP archives through the engine libraries in the engine folder.
// Owns the loaded engines and, while an operation runs, the worker thread that runs the engine.
//
// An operation (AddFiles, TestArchive, ExtractArchive) runs the engine on a worker thread and
// waits in a local event loop, so the calling handler returns only when it is done while the
// windows stay responsive. The events are raised on the GUI thread during that wait. The component
// must not be destroyed while an operation runs (so never from one of its own event handlers).
class ArchiveComponent : public QObject {
    Q_OBJECT
public:
    enum class ProgressType {
        NewFile,
        ProgressUpdate,
        EndOfBatch,
        TotalFiles2Process,
        TotalSize2Process,
        NewExtra,
        ExtraUpdate
    };
    Q_ENUM(ProgressType)

    enum AddOpt {
        AddDirNames = 0x1,     // keep each file's folder path in its entry name
        AddUpdate = 0x2,       // replace entries only when their file differs; keep the rest
        AddHiddenFiles = 0x4,  // include hidden files
        AddResetArchive = 0x8, // clear the archive attribute of every file stored
        AddFresh = 0x10,       // keep nothing of the existing archive; replace it once complete
        // A file whose archive attribute is clear keeps its entry as it is; it is added only where
        // the archive has no entry of its name (removed by another program, say).
        AddUnchangedKept = 0x20,
        // Check every kept entry's data also when no file is to be written (the archive is left
        // as it is unless an entry is damaged).
        AddCheckKept = 0x40,
    };
    Q_DECLARE_FLAGS(AddOpts, AddOpt)

    static constexpr int MinimumEngineVersion = 178;
    static const QStringList DefaultStoreSuffixes;

    explicit ArchiveComponent(QObject* parent = nullptr);
    ~ArchiveComponent() override;

    // Set once at start-up.
    QString DLLDirectory;
    QString TempDir;
    QString SFXPath;

    // Set for each archive, then AddFiles().
    AddOpts AddOptions;
    int AddCompLevel = 9;
    QStringList AddStoreSuffixes = DefaultStoreSuffixes;
    PathList FileSpecList;
    std::filesystem::path ZipFileName;
    QString ArchiveComment;
    // The archive attribute of this archive (AddResetArchive, AddUnchangedKept); none: epoch 0.
    platform::ArchiveMark Mark;

    // 0 when the engine is loaded; otherwise an error code, with ErrorText() saying why.
    int LoadZipEngine();
    int LoadUnzipEngine();
    int ZipDllVersion() const { return m_zipEngine.version(); }
    int UnzDllVersion() const { return m_unzipEngine.version(); }

    // Adds FileSpecList to ZipFileName. 0 when the archive was written (SkippedFiles() then
    // lists files that could not be read and are missing from it); -255 at once while busy;
    // any other value is a failure, described by ErrorText(), and the previous archive is unchanged.
    int AddFiles();
    // Reads every entry and checks its CRC; 0 when the archive is sound.
    int TestArchive(const std::filesystem::path& archive);
    // Extracts every entry below the destination folder; 0 when all were written.
    int ExtractArchive(const std::filesystem::path& archive, const std::filesystem::path& destination);

    bool IsBusy() const { return m_busy; }
    void RequestCancel();
    // Holds the running operation at its next termination check until unpaused (or cancelled),
    // so that nothing is finished while the user is asked whether to cancel.
    void setPaused(bool paused);
    int ErrorCode() const { return m_errorCode; }
    QString ErrorText() const { return m_errorText; }
    // Of the last AddFiles: the files left out because they could not be read, and how many files
    // the archive now holds in their current state (added, replaced or found up to date).
    const std::vector<std::filesystem::path>& SkippedFiles() const { return m_skippedFiles; }
    // Files that kept changing while they were read: the archive holds one complete read of each,
    // which need not be a state the file ever had, so their archive attribute stays set.
    const std::vector<std::filesystem::path>& ChangingFiles() const { return m_changingFiles; }
    std::size_t StoredCount() const { return m_storedCount; }
    // The last AddFiles wrote an archive that misses something: besides the files above, damaged
    // entries of files no longer listed, left out once the previous archive was kept aside.
    bool Incomplete() const { return m_incomplete; }
    // How many files were written into the archive by the last AddFiles (not found up to date).
    std::size_t WrittenCount() const { return m_writtenCount; }

    // The engine's threads run at the lowest CPU and I/O priority while this is on.
    void setLowPriority(bool on) { m_lowPriority = on; }

Q_SIGNALS:
    // A file's path as the engine names it; for an extra step (writing the directory), the archive's.
    void OnProgress(ArchiveComponent::ProgressType type, const std::filesystem::path& fileName,
                    qint64 fileSize);
    void OnItemProgress(const std::filesystem::path& item, qint64 totalSize, int percent);
    void OnTotalProgress(qint64 totalSize, int percent);
    void OnMessage(int errCode, const QString& message);
    // Raised on the GUI thread while an operation runs; a handler sets abort to stop it.
    void OnCheckTerminate(bool& abort);

private:
    using EngineWork = std::function<int(const ZeCallbacks&)>;
    int runOnWorker(const EngineWork& work);
    int fail(int code, const QString& text);
    int finish(int code);

    EngineLibrary m_zipEngine;
    EngineLibrary m_unzipEngine;
    bool m_busy = false;
    bool m_lowPriority = false;
    EngineEventBridge* m_bridge = nullptr; // set while an operation runs
    int m_errorCode = 0;
    QString m_errorText;
    std::vector<std::filesystem::path> m_skippedFiles;
    std::vector<std::filesystem::path> m_changingFiles;
    std::size_t m_storedCount = 0;
    std::size_t m_writtenCount = 0;
    bool m_incomplete = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ArchiveComponent::AddOpts)
