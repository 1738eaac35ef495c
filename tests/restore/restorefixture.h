#pragma once

#include "enginefixture.h"
#include "restore/overwritequestion.h"
#include "restore/restorejob.h"
#include "restore/restorereport.h"

#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The callbacks and cancel flag one restore of a test runs with.
struct RestoreRun {
    std::function<OverwriteAnswer(const OverwriteQuestion&)> overwrite;
    std::function<void(std::uint64_t done, std::uint64_t total, std::string_view name)> progress;
    std::atomic<bool>* cancel = nullptr;
};

// Real archives made by the program's engine, restored by the restore job, and what is on disk.
class RestoreFixture : public EngineFixture {
public:
    // The engine's archive of these files (names as given to writeSource), moved to `name` in
    // root()/dest. Returns its path.
    std::filesystem::path backup(const std::vector<std::filesystem::path>& files, const std::string& name,
                                 int level = 9);
    std::filesystem::path destination() const { return root() / "dest"; }

    using Run = RestoreRun;
    // Restores every entry of the archive to a folder, or to the original place when `folder` is empty.
    static RestoreReport restoreAll(const std::filesystem::path& archive, const std::filesystem::path& folder,
                                    const Run& run = {});

    // Every file and link below a folder, as paths relative to it, sorted.
    static QStringList filesBelow(const std::filesystem::path& folder);
    static std::int64_t mtimeNs(const std::filesystem::path& file);
    // Runs a Python script with the given arguments; true when it exits with 0.
    static bool python(const QString& script, const QStringList& arguments);
    // The names of the problems of a report with one reason.
    static QStringList problemNames(const RestoreReport& report, RestoreReport::Reason reason);
};
