#include "restore/restoreworker.h"

#include "restore/restorejob.h"

#include <chrono>
#include <future>
#include <memory>

namespace {

constexpr std::int64_t ProgressStepMs = 50;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

RestoreWorker::RestoreWorker(QObject* parent)
    : QObject(parent) {}

RestoreWorker::~RestoreWorker() {
    m_cancel = true;
    join();
}

void RestoreWorker::join() {
    if (m_thread.joinable())
        m_thread.join();
}

void RestoreWorker::start(std::function<void()> work) {
    join();
    m_cancel = false;
    m_busy = true;
    m_lastProgressMs = 0;
    m_thread = std::thread(std::move(work));
}

void RestoreWorker::startRestore(RestoreRequest request, OverwriteAsk ask) {
    m_ask = std::move(ask);
    start([this, request = std::move(request)]() mutable {
        RestoreJob::Callbacks callbacks;
        callbacks.progress = [this](std::uint64_t done, std::uint64_t total, std::string_view name) {
            reportProgress(done, total, name);
        };
        callbacks.overwrite = [this](const OverwriteQuestion& question) {
            return askOnGuiThread(question);
        };
        RestoreJob job(std::move(request), std::move(callbacks), m_cancel);
        const RestoreReport report = job.run();
        QMetaObject::invokeMethod(
            this,
            [this, report] {
                join();
                m_busy = false;
                Q_EMIT restoreFinished(report);
            },
            Qt::QueuedConnection);
    });
}

void RestoreWorker::startVerify(const std::filesystem::path& archive) {
    start([this, archive] {
        const ArchiveVerify::Result result = ArchiveVerify::run(
            archive, [this](std::uint64_t done, std::uint64_t total) { reportProgress(done, total, {}); },
            m_cancel);
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                join();
                m_busy = false;
                Q_EMIT verifyFinished(result);
            },
            Qt::QueuedConnection);
    });
}

void RestoreWorker::reportProgress(std::uint64_t done, std::uint64_t total, std::string_view name) {
    const std::int64_t now = nowMs();
    if (now - m_lastProgressMs < ProgressStepMs && done < total)
        return;
    m_lastProgressMs = now;
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    QMetaObject::invokeMethod(
        this, [this, done, total, text] { Q_EMIT progress(done, total, text); }, Qt::QueuedConnection);
}

OverwriteAnswer RestoreWorker::askOnGuiThread(const OverwriteQuestion& question) {
    // The answer comes back through a promise; a cancel (or the window closing) ends the wait.
    auto answer = std::make_shared<std::promise<OverwriteAnswer>>();
    std::future<OverwriteAnswer> future = answer->get_future();
    QMetaObject::invokeMethod(
        this, [this, answer, question] { answer->set_value(m_ask(question)); }, Qt::QueuedConnection);
    while (future.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_cancel)
            return {OverwriteChoice::Cancel, false};
    }
    return future.get();
}
