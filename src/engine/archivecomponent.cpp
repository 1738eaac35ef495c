#include "engine/archivecomponent.h"

#include "platform/pathbytes.h"

#include "engine/engineeventbridge.h"
#include "engine/zipengineerrors.h"
#include "platform/backuppriority.h"
#include "platform/fileattributes.h"
#include "zipengine_api.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

constexpr int DeliveryIntervalMs = 30;

// The deflate level the engine uses for a compression level. Above 7 the engine's deflate spends
// 1.7 to 2.4 times the time for archives only 0.1 to 0.2 % smaller (measured on this program's
// benchmark tree), so "compress most" is its level 7, which already matches Info-ZIP's -9.
int engineLevel(int compLevel) {
    return compLevel <= 0 ? 0 : compLevel > 7 ? 7 : compLevel;
}

bool holdsCurrentState(std::int32_t status) {
    return status == ZE_FILE_ADDED || status == ZE_FILE_REPLACED || status == ZE_FILE_UP_TO_DATE;
}

// Per file, what its mark for this archive says of the archive's entry of it: current, outdated
// (written anew even where its size and time match), or not known (the engine compares).
std::vector<unsigned char> unchangedFiles(const PathList& files, const platform::ArchiveMark& mark) {
    std::vector<unsigned char> unchanged(files.size(), ZE_ENTRY_COMPARED);
    if (mark.epoch == 0)
        return unchanged;
    for (std::size_t i = 0; i < files.size(); ++i) {
        switch (platform::FileAttributes::archiveState(files.path(i), mark)) {
        case platform::FileAttributes::ArchiveState::Unchanged:
            unchanged[i] = ZE_ENTRY_CURRENT;
            break;
        case platform::FileAttributes::ArchiveState::Changed:
            unchanged[i] = ZE_ENTRY_OUTDATED;
            break;
        case platform::FileAttributes::ArchiveState::Unmarked:
            break;
        }
    }
    return unchanged;
}

} // namespace

const QStringList ArchiveComponent::DefaultStoreSuffixes = {
    QStringLiteral("gif"), QStringLiteral("png"), QStringLiteral("z"),   QStringLiteral("zip"),
    QStringLiteral("zoo"), QStringLiteral("arc"), QStringLiteral("lzh"), QStringLiteral("arj"),
    QStringLiteral("taz"), QStringLiteral("tgz"), QStringLiteral("lha"), QStringLiteral("rar"),
    QStringLiteral("ace"), QStringLiteral("cab"), QStringLiteral("gz"),  QStringLiteral("gzip"),
    QStringLiteral("jar")};

ArchiveComponent::ArchiveComponent(QObject* parent)
    : QObject(parent)
    , AddOptions(AddDirNames)
    , m_zipEngine(QStringLiteral("ZipDll"), "GetZipDllVersion", "ZipDllExec")
    , m_unzipEngine(QStringLiteral("UnZDll"), "GetUnzDllVersion", "UnzDllExec") {}

ArchiveComponent::~ArchiveComponent() = default;

int ArchiveComponent::LoadZipEngine() {
    const int rc = m_zipEngine.load(DLLDirectory, MinimumEngineVersion);
    if (rc != 0) {
        m_errorCode = rc;
        m_errorText = m_zipEngine.errorText();
    }
    return rc;
}

int ArchiveComponent::LoadUnzipEngine() {
    const int rc = m_unzipEngine.load(DLLDirectory, MinimumEngineVersion);
    if (rc != 0) {
        m_errorCode = rc;
        m_errorText = m_unzipEngine.errorText();
    }
    return rc;
}

void ArchiveComponent::setPaused(bool paused) {
    if (m_bridge != nullptr)
        m_bridge->setPaused(paused);
}

void ArchiveComponent::RequestCancel() {
    if (m_bridge != nullptr)
        m_bridge->requestCancel();
}

int ArchiveComponent::fail(int code, const QString& text) {
    m_errorCode = code;
    m_errorText = text;
    m_busy = false;
    return code;
}

int ArchiveComponent::finish(int code) {
    m_busy = false;
    return code;
}

int ArchiveComponent::AddFiles() {
    if (m_busy)
        return ZipEngineErrors::Busy;
    m_busy = true;
    m_errorCode = 0;
    m_errorText.clear();
    m_skippedFiles.clear();
    m_changingFiles.clear();
    m_storedCount = 0;
    m_writtenCount = 0;
    m_incomplete = false;
    if (!m_zipEngine.isLoaded() && LoadZipEngine() != 0)
        return finish(m_errorCode);
    if (ZipFileName.empty())
        return fail(ZipEngineErrors::NoArchiveName, QStringLiteral("No archive name was given"));
    if (FileSpecList.empty())
        return fail(ZipEngineErrors::NoFiles, QStringLiteral("Nothing to do: the list of files is empty"));

    // The worker reads the list where it is. It is moved out for the time of the run so that
    // nothing a handler does meanwhile can change it under the worker; it is put back afterwards.
    PathList files = std::move(FileSpecList);
    FileSpecList.clear();
    std::vector<QByteArray> suffixes;
    std::vector<const char*> suffixPointers;
    for (const QString& suffix : AddStoreSuffixes)
        suffixes.push_back(suffix.toUtf8());
    for (const QByteArray& suffix : suffixes)
        suffixPointers.push_back(suffix.constData());
    const std::string archive = pathBytes(ZipFileName);
    const QByteArray comment = ArchiveComment.toUtf8();
    std::vector<ZeFileResult> results(files.size());

    ZeAddCommand command{};
    command.structSize = sizeof command;
    command.archivePath = archive.c_str();
    command.options = (AddOptions.testFlag(AddDirNames) ? ZE_ADD_DIR_NAMES : 0u) |
                      (AddOptions.testFlag(AddUpdate) ? ZE_ADD_UPDATE : 0u) |
                      (AddOptions.testFlag(AddHiddenFiles) ? ZE_ADD_HIDDEN_FILES : 0u) |
                      (AddOptions.testFlag(AddFresh) ? ZE_ADD_FRESH : 0u) |
                      (AddOptions.testFlag(AddCheckKept) ? ZE_ADD_CHECK_KEPT : 0u);
    command.level = engineLevel(AddCompLevel);
    command.storeSuffixes = suffixPointers.data();
    command.storeSuffixCount = suffixPointers.size();
    command.comment = comment.constData();
    command.files = files.data();
    command.fileCount = files.size();
    command.results = results.data();

    const platform::ArchiveMark mark = Mark;
    const bool resetArchive = AddOptions.testFlag(AddResetArchive) && mark.epoch != 0;
    const bool unchangedKept = AddOptions.testFlag(AddUnchangedKept);
    std::vector<unsigned char> unchanged;
    const auto exec = reinterpret_cast<ZeAddExecFunction>(m_zipEngine.exec());
    const int rc = runOnWorker([&](const ZeCallbacks& callbacks) {
        if (unchangedKept) {
            unchanged = unchangedFiles(files, mark);
            command.unchanged = unchanged.data();
        }
        const std::int64_t readFromNs = platform::FileAttributes::nowNs();
        const int result = exec(&command, &callbacks);
        // Only once the archive is in place, and only for files it really holds.
        if (resetArchive && (result == ZE_OK || result == ZE_WARN_SKIPPED)) {
            for (std::size_t i = 0; i < files.size(); ++i) {
                const bool recorded = !unchanged.empty() && unchanged[i] == ZE_ENTRY_CURRENT;
                if (holdsCurrentState(results[i].status) && !recorded)
                    platform::FileAttributes::clearArchiveAttribute(files.path(i), results[i].size,
                                                                    results[i].mtimeNs, readFromNs, mark);
            }
        }
        return result;
    });
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (results[i].status == ZE_FILE_SKIPPED)
            m_skippedFiles.push_back(files.path(i));
        else if (results[i].status == ZE_FILE_CHANGING)
            m_changingFiles.push_back(files.path(i));
        if (holdsCurrentState(results[i].status))
            ++m_storedCount;
        if (results[i].status == ZE_FILE_ADDED || results[i].status == ZE_FILE_REPLACED ||
            results[i].status == ZE_FILE_CHANGING)
            ++m_writtenCount;
    }
    if (FileSpecList.empty())
        FileSpecList = std::move(files);
    m_incomplete = rc == ZE_WARN_SKIPPED;
    return finish(rc == ZE_OK || rc == ZE_WARN_SKIPPED ? 0 : rc);
}

int ArchiveComponent::TestArchive(const std::filesystem::path& archive) {
    return ExtractArchive(archive, std::filesystem::path());
}

int ArchiveComponent::ExtractArchive(const std::filesystem::path& archive,
                                     const std::filesystem::path& destination) {
    if (m_busy)
        return ZipEngineErrors::Busy;
    m_busy = true;
    m_errorCode = 0;
    m_errorText.clear();
    if (!m_unzipEngine.isLoaded() && LoadUnzipEngine() != 0)
        return finish(m_errorCode);
    const std::string archivePath = pathBytes(archive);
    const std::string destinationPath = pathBytes(destination);
    ZeExtractCommand command{};
    command.structSize = sizeof command;
    command.archivePath = archivePath.c_str();
    command.destination = destination.empty() ? nullptr : destinationPath.c_str();
    command.options = destination.empty() ? ZE_EXTRACT_TEST_ONLY : 0u;
    const auto exec = reinterpret_cast<ZeExtractExecFunction>(m_unzipEngine.exec());
    return finish(runOnWorker([&](const ZeCallbacks& callbacks) { return exec(&command, &callbacks); }));
}

int ArchiveComponent::runOnWorker(const EngineWork& work) {
    EngineEventBridge bridge(this);
    m_bridge = &bridge;
    const ZeCallbacks callbacks = bridge.callbacks();
    const bool lowPriority = m_lowPriority;
    int rc = ZE_ERR_INTERNAL;
    // A fresh thread for each operation, so a lowered priority ends with it.
    std::unique_ptr<QThread> worker(QThread::create([&] {
        if (lowPriority)
            platform::BackupPriority::lowerCurrentThread();
        rc = work(callbacks);
    }));
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(DeliveryIntervalMs);
    connect(&tick, &QTimer::timeout, this, [this, &bridge] {
        bridge.deliver();
        bool abort = false;
        Q_EMIT OnCheckTerminate(abort);
        if (abort)
            bridge.requestCancel();
    });
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    // The first termination check comes before any work: a cancel that is already pending
    // stops the operation before it touches the archive.
    bool abortBeforeStart = false;
    Q_EMIT OnCheckTerminate(abortBeforeStart);
    if (abortBeforeStart)
        bridge.requestCancel();
    tick.start();
    worker->start();
    loop.exec();
    worker->wait();
    tick.stop();
    bridge.deliver();
    m_bridge = nullptr;
    if (rc != ZE_OK && rc != ZE_WARN_SKIPPED) {
        m_errorCode = rc;
        m_errorText = bridge.lastText(rc);
        if (m_errorText.isEmpty())
            m_errorText = QStringLiteral("ZIP engine error %1").arg(rc);
    }
    return rc;
}
