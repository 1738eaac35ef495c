#pragma once

#include "zipengine_api.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ArchiveComponent;

// Carries an engine's callbacks from the thread that runs the engine to the GUI thread.
// The engine thread only records: messages are queued in order, progress is kept as the latest
// state. The GUI thread calls deliver() on a short timer and raises the component's events there,
// so a flood of tiny files never floods the GUI thread. A cancel travels back as an atomic flag.
// Names are kept as the engine's bytes and raised as paths.
class EngineEventBridge {
public:
    explicit EngineEventBridge(ArchiveComponent* owner);

    ZeCallbacks callbacks();
    void requestCancel();
    // While paused, the engine waits at its next termination check (a cancel ends the wait).
    void setPaused(bool paused);
    bool cancelRequested() const { return m_cancel.load(); }

    // GUI thread: raises the events recorded since the last call.
    void deliver();
    // The text of the last message the engine sent with this code (empty when none).
    QString lastText(int code) const;

private:
    struct Message {
        int code;
        std::string text;
    };
    struct Progress {
        int kind = -1;
        std::string name;
        std::int64_t value = 0;
    };

    static void onProgress(void* user, int kind, const char* name, std::int64_t value);
    static void onItem(void* user, const char* name, std::int64_t totalSize, int percent);
    static void onTotal(void* user, std::int64_t totalSize, int percent);
    static void onMessage(void* user, int code, const char* text);
    static int onCheckTerminate(void* user);

    ArchiveComponent* m_owner;
    std::atomic<bool> m_cancel{false};
    std::mutex m_pauseMutex;
    std::condition_variable m_resume;
    bool m_paused = false;
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<Progress> m_batchEvents; // totals and end of batch: each one is raised
    Progress m_progress;                 // latest per-file progress
    bool m_progressChanged = false;
    std::string m_item;
    std::int64_t m_itemSize = 0;
    int m_itemPercent = 0;
    bool m_itemChanged = false;
    std::int64_t m_totalSize = 0;
    int m_totalPercent = 0;
    bool m_totalChanged = false;
    std::map<int, std::string> m_lastTexts;
};
