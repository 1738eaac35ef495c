#pragma once

#include <QString>

// Makes a folder unwritable for this process while it lives: the folder is made read-only,
// and a process running as root (which ignores permission bits) takes the identity of
// "nobody" until the barrier ends.
class WriteBarrier {
public:
    explicit WriteBarrier(const QString& folder);
    ~WriteBarrier();
    WriteBarrier(const WriteBarrier&) = delete;
    WriteBarrier& operator=(const WriteBarrier&) = delete;

    bool isActive() const { return m_active; }

private:
    QString m_folder;
    bool m_droppedRoot = false;
    bool m_active = false;
};
