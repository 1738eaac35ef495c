#include "compressionpool.h"

#include "compresstask.h"

#include <libdeflate.h>

#include <cerrno>

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

void CompressionPool::wait(CompressTask* task) {
    std::unique_lock lock(m_mutex);
    m_taskDone.wait(lock, [task] { return task->done; });
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
            task->run(compressor);
        {
            std::lock_guard lock(m_mutex);
            task->done = true;
        }
        m_taskDone.notify_all();
    }
    libdeflate_free_compressor(compressor);
}
