#include "compressionpool.h"

#include "listedfiles.h"

#include "compresstask.h"

#include <libdeflate.h>

#include <cerrno>
#include <chrono>

CompressionPool::CompressionPool(int threads, int level)
    : m_level(level < 1    ? 1
              : level > 12 ? 12
                           : level) {
    if (threads < 1)
        threads = 1;
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

CompressionPool::~CompressionPool() {
    cancel();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workAvailable.notify_all();
    for (auto& thread : m_threads)
        thread.join();
}

void CompressionPool::submit(CompressTask* task) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(task);
    }
    m_workAvailable.notify_one();
}

bool CompressionPool::wait(CompressTask* task, const std::function<bool()>& stop) {
    std::unique_lock lock(m_mutex);
    while (!task->done) {
        m_taskDone.wait_for(lock, std::chrono::milliseconds(20));
        if (task->done)
            break;
        lock.unlock(); // `stop` may cancel, which takes the lock
        if (stop()) {
            cancel();
            return false;
        }
        lock.lock();
    }
    return true;
}

void CompressionPool::cancel() {
    {
        std::lock_guard lock(m_mutex);
        for (CompressTask* task : m_queue) {
            task->error = ECANCELED;
            task->done = true;
        }
        m_queue.clear();
    }
    m_taskDone.notify_all();
}

void CompressionPool::work() {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(m_level);
    ListedFiles files;
    for (;;) {
        CompressTask* task = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_workAvailable.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                break;
            task = m_queue.front();
            m_queue.pop_front();
        }
        if (compressor == nullptr)
            task->error = ENOMEM;
        else
            task->run(compressor, &files);
        {
            std::lock_guard lock(m_mutex);
            task->done = true;
        }
        m_taskDone.notify_all();
    }
    libdeflate_free_compressor(compressor);
}
