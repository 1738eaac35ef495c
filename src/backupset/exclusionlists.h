#pragma once

#include <QString>

#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

class ActivityLog;
class EventMarker;
class SettingsModel;

// The operations on the excluded folders and file types of the settings model: adding without
// duplicates (compared without case), removing and clearing. The exclusion dialog is a view of them.
class ExclusionLists {
public:
    ExclusionLists(SettingsModel& settings, ActivityLog& log, EventMarker& marker);

    // The settings load: logged and marked; appended unless present.
    void AddExcludedFolder(const std::filesystem::path& folder);
    void AddExcludedType(const QString& type);
    // The dialog's own additions: appended unless present, not logged. False when present.
    bool addFolder(const std::filesystem::path& folder);
    bool addType(const QString& type);
    // Rows in the order of the lists.
    void removeFolders(const std::vector<int>& rows);
    void removeTypes(const std::vector<int>& rows);
    void clearFolders();
    void clearTypes();

    // What "Add filetype" makes of the typed text: lower-cased A to Z, one leading "*"
    // dropped; nothing for "", "*" and "*.*".
    static QString typeFromInput(const QString& typed);

private:
    void index();

    SettingsModel& m_settings;
    ActivityLog& m_log;
    EventMarker& m_marker;
    // Folded names of the entries, made anew whenever the model's lists change from elsewhere.
    std::unordered_set<std::string> m_folders;
    std::unordered_set<std::string> m_types;
    bool m_indexed = false;
};
