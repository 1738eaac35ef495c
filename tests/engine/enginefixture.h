#pragma once

#include "testprogramdir.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class ArchiveComponent;

// A temporary program directory with the engines installed, a component pointed at them, and
// helpers that lay out source files by their bytes (names need not be valid UTF-8).
class EngineFixture {
public:
    EngineFixture();
    ~EngineFixture();

    ArchiveComponent& zip() { return *m_zip; }
    std::filesystem::path root() const { return m_dir.fsPath(); }
    std::filesystem::path engineDir() const { return root() / "dll"; }
    std::filesystem::path archivePath() const { return root() / "out" / "Quoralis.zip"; }

    // Writes a file below root()/src (folders made as needed) and returns its full path.
    std::filesystem::path writeSource(const std::string& relative, const QByteArray& content) const;
    // Sets the file's modification time (seconds since the epoch).
    static void setMtime(const std::filesystem::path& file, std::int64_t seconds);
    static QByteArray readAll(const std::filesystem::path& file);

    // Runs AddFiles on the files with the given options and level; returns its result.
    int add(const std::vector<std::filesystem::path>& files, int options, int level = 9);

    // Deterministic content: readable text that deflates well, and bytes that do not deflate.
    static QByteArray text(std::size_t size, quint32 seed = 1);
    static QByteArray noise(std::size_t size, quint32 seed = 1);

    // Every entry's stored data checked by our extract engine, unzip -t and Python's zipfile.
    void verifyArchive(const std::filesystem::path& archive);

private:
    TestProgramDir m_dir;
    std::unique_ptr<ArchiveComponent> m_zip;
};
