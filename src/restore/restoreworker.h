#pragma once

#include "restore/archiveverify.h"
#include "restore/overwritequestion.h"
#include "restore/restorereport.h"
#include "restore/restorerequest.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// Runs one restore or verification at a time on a thread of its own (which it owns and joins);
// progress and results arrive on the GUI thread, and overwrite questions are asked there.
class RestoreWorker : public QObject {
    Q_OBJECT
public:
    using OverwriteAsk = std::function<OverwriteAnswer(const OverwriteQuestion&)>;

    explicit RestoreWorker(QObject* parent = nullptr);
    ~RestoreWorker() override;

    bool busy() const { return m_busy; }
    // `ask` is called on the GUI thread while the restore waits for its answer.
    void startRestore(RestoreRequest request, OverwriteAsk ask);
    void startVerify(const std::filesystem::path& archive);
    void cancel() { m_cancel = true; }

Q_SIGNALS:
    void progress(quint64 done, quint64 total, const QString& name);
    void restoreFinished(const RestoreReport& report);
    void verifyFinished(const ArchiveVerify::Result& result);

private:
    void start(std::function<void()> work);
    void reportProgress(std::uint64_t done, std::uint64_t total, std::string_view name);
    OverwriteAnswer askOnGuiThread(const OverwriteQuestion& question);
    void join();

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    bool m_busy = false;
    OverwriteAsk m_ask;
    std::int64_t m_lastProgressMs = 0;
};
