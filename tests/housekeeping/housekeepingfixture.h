#pragma once

#include "config/settingsmodel.h"
#include "housekeeping/housekeeping.h"
#include "log/activitylog.h"
#include "scriptedprompts.h"
#include "testprogramdir.h"

#include <QDateTime>
#include <QStringList>

#include <filesystem>
#include <string>

// A program directory, the settings, the activity log and recorded prompts and
// sounds around one Housekeeping whose clock stands still at `now`.
struct HousekeepingFixture {
    HousekeepingFixture();

    // Writes a file below the program directory and sets its modification time.
    std::filesystem::path file(const std::string& relative, const QDateTime& modified) const;
    std::filesystem::path folder(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    std::filesystem::path at(const std::string& relative) const { return dir.fsPath() / relative; }
    // The logged messages after the first `skip`, without timestamps.
    QStringList messagesAfter(qsizetype skip) const { return messages.mid(skip); }

    void switchLogCleanup(bool on, int days);
    void switchArchiveCheck(bool on, int days, const QString& destination);

    QDateTime now;
    TestProgramDir dir;
    ScriptedPrompts prompts;
    SettingsModel settings;
    ActivityLog log;
    QStringList messages;
    QStringList sounds;
    Housekeeping housekeeping;
};

// Sets a path's modification time without following a symbolic link.
void setModified(const std::filesystem::path& path, const QDateTime& modified);
