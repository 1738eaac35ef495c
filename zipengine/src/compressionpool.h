#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct CompressTask;

// Owns the worker threads that read and compress tasks, first come first served.
// Tasks belong to the caller and must outlive their completion.
class CompressionPool {
public:
    CompressionPool(int threads, int level);
    ~CompressionPool();

    CompressionPool(const CompressionPool&) = delete;
    CompressionPool& operator=(const CompressionPool&) = delete;

    void submit(CompressTask* task);
    // Blocks until the task is done, or until `stop` (asked every few milliseconds) says to give up:
    // then false, and the queued tasks are dropped.
    bool wait(CompressTask* task, const std::function<bool()>& stop);
    // Drops the queued tasks (they are marked done with an error) and lets running ones finish.
    void cancel();

private:
    void work();

    int m_level;
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_taskDone;
    std::deque<CompressTask*> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
