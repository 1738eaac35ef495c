#pragma once

#include <string>

// Keeps a previous archive under "<archive>.damaged" ("<archive>.damaged-2", "-3", ... when that is
// taken) for whatever can still be rescued from it, before anything takes its name.
class ArchiveAside {
public:
    explicit ArchiveAside(std::string target)
        : m_target(std::move(target)) {}

    // Renames the archive to the first free name; false when there is none or the rename failed.
    bool move();
    // Gives the archive its own name again, after the archive meant to take its place was not
    // put there.
    bool moveBack();
    const std::string& path() const { return m_aside; }

private:
    std::string m_target;
    std::string m_aside;
};
