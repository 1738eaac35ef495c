#pragma once

#include "config/settingsschema.h"

#include <QCollator>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <filesystem>
#include <unordered_set>
#include <vector>

// The program's settings while it runs: every value of the settings file, the folder list and
// the two exclusion lists, with the rules that tie values together. Windows show it and change
// it; the backup run, the walks and the housekeeping read it. It knows whether it was loaded from
// the settings file, and a model that was not is never saved.
class SettingsModel : public QObject {
    Q_OBJECT
public:
    explicit SettingsModel(QObject* parent = nullptr);

    bool isOn(Setting setting) const { return m_values[index(setting)] != 0; }
    int number(Setting setting) const { return m_values[index(setting)]; }
    // A change by the user or the program: the dependent rules follow.
    void setOn(Setting setting, bool on);
    void setNumber(Setting setting, int value);
    // The value as the settings file holds it (held to its range): no rule runs.
    void loadValue(Setting setting, int value);

    // The destination folder as bytes; empty when none is set.
    const std::filesystem::path& destination() const { return m_destination; }
    void setDestination(const std::filesystem::path& folder);
    // Ends a destination that is set with the separator, in the model too, and returns it.
    std::filesystem::path terminatedDestination();

    // Whether the user may change the value now: "delete backups older than" only with dated
    // archives, "delete logs older than" only while logs are kept, the interval only with the timer.
    bool isEditable(Setting setting) const;
    // Changed files only, dated archives and deleting old archives together would delete the only
    // copy of files that rarely change.
    bool changedOnlyConflictsWithCleanup() const;

    // The folder list, always in the order of the folders' texts under the locale's case-sensitive
    // collation (equal texts by their bytes). Entries are distinct byte strings.
    const std::vector<std::filesystem::path>& folders() const { return m_folders; }
    bool hasFolder(const std::filesystem::path& folder) const;
    // False when the folder is listed already.
    bool addFolder(const std::filesystem::path& folder);
    bool removeFolder(const std::filesystem::path& folder);
    void clearFolders();

    const std::vector<std::filesystem::path>& excludedFolders() const { return m_excludedFolders; }
    const QStringList& excludedTypes() const { return m_excludedTypes; }
    void setExcludedFolders(std::vector<std::filesystem::path> folders);
    void setExcludedTypes(QStringList types);
    void appendExcludedFolder(const std::filesystem::path& folder);
    void appendExcludedType(const QString& type);

    // The number of archive jobs run over the program's lifetime (the "stats" section).
    quint64 totalBackups() const { return m_totalBackups; }
    void setTotalBackups(quint64 total);

    bool isLoaded() const { return m_loaded; }
    void setLoaded() { m_loaded = true; }

Q_SIGNALS:
    void changed(Setting setting);
    void destinationChanged();
    void folderAdded(const std::filesystem::path& folder);
    void folderRemoved(const std::filesystem::path& folder);
    // Any change of the folder list; after the two above too.
    void foldersChanged();
    // The exclusion lists were replaced; an entry appended is told by the two signals after it.
    void exclusionsChanged();
    void excludedFolderAppended(const std::filesystem::path& folder);
    void excludedTypeAppended(const QString& type);
    void totalBackupsChanged(quint64 total);

private:
    static std::size_t index(Setting setting) { return static_cast<std::size_t>(setting); }
    void store(Setting setting, int value);

    std::array<int, SettingsSchema::count> m_values{};
    std::filesystem::path m_destination;
    bool listedBefore(const std::filesystem::path& a, const std::filesystem::path& b) const;

    QCollator m_collator;
    std::vector<std::filesystem::path> m_folders;
    std::unordered_set<std::string> m_folderSet;
    std::vector<std::filesystem::path> m_excludedFolders;
    QStringList m_excludedTypes;
    quint64 m_totalBackups = 0;
    bool m_loaded = false;
};
