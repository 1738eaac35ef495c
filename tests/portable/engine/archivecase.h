#pragma once

#include "archiveexport.h"
#include "archivelisting.h"
#include "enginecalls.h"
#include "enginemodule.h"
#include "testtree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the archive tests share: a tree of files with fixed times and permissions, the engine, and
// the checks of what an archive holds and what extracting it gives.
class ArchiveCase : public ::testing::Test {
protected:
    // A time both systems keep exactly (a whole number of 100 ns).
    static constexpr std::int64_t FixedTimeNs = 1600000000LL * 1000000000 + 123456700;

    void SetUp() override { ASSERT_EQ(m_engine.loadError(), ""); }

    // Writes a file of the tree with the fixed time and 0644 permissions; returns its path.
    std::string put(const std::string& name, const std::string& content);
    // The name the entry of the file at `path` must have: its path without where it starts
    // (drive, share or "/"), "/" between folders.
    static std::string entryNameOf(const std::string& path);
    static std::string randomBytes(std::size_t size, unsigned seed);

    // Checks that the archive holds exactly `files` (entry name to source path) as regular files
    // with 0644 permissions, that the engine's test passes, and that extracting it gives every
    // file with its bytes and time.
    void expectArchiveHolds(const std::string& archive, const std::map<std::string, std::string>& files);
    // Leaves the archive and its files for the Linux check.
    void exportCase(const std::string& caseName, const std::string& archive,
                    const std::map<std::string, std::string>& files);
    std::string archivePath(const std::string& name) const { return TestTree::utf8(m_work.path(name)); }

    EngineModule m_engine;
    EngineCalls m_calls{m_engine};
    TestTree m_tree{"engine-tree"};
    TestTree m_work{"engine-work"};
};
