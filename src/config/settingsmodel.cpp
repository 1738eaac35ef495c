#include "config/settingsmodel.h"

#include "log/pathtext.h"

#include <algorithm>

SettingsModel::SettingsModel(QObject* parent)
    : QObject(parent)
    , m_collator(QLocale::system()) {
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
    for (const SettingSpec& spec : SettingsSchema::all())
        m_values[index(spec.setting)] = spec.defaultValue;
}

void SettingsModel::store(Setting setting, int value) {
    value = SettingsSchema::clamp(setting, value);
    if (m_values[index(setting)] == value)
        return;
    m_values[index(setting)] = value;
    Q_EMIT changed(setting);
}

void SettingsModel::loadValue(Setting setting, int value) {
    store(setting, value);
}

void SettingsModel::setOn(Setting setting, bool on) {
    store(setting, on ? 1 : 0);
    if (setting == Setting::MultiArchive && !on)
        store(Setting::CleanBackups, 0);
    if (setting == Setting::KeepLog && !on)
        store(Setting::ShowLog, 0);
}

void SettingsModel::setNumber(Setting setting, int value) {
    store(setting, value);
}

void SettingsModel::setDestination(const std::filesystem::path& folder) {
    if (folder.native() == m_destination.native())
        return;
    m_destination = folder;
    Q_EMIT destinationChanged();
}

std::filesystem::path SettingsModel::terminatedDestination() {
    const std::string bytes = pathBytes(m_destination);
    if (!bytes.empty() && bytes.back() != '/')
        setDestination(pathFromBytes(bytes + '/'));
    return m_destination;
}

bool SettingsModel::isEditable(Setting setting) const {
    switch (setting) {
    case Setting::CleanBackups:
        return isOn(Setting::MultiArchive);
    case Setting::CleanLogs:
        return isOn(Setting::KeepLog);
    case Setting::TimerInterval:
        return isOn(Setting::TimerEnabled);
    default:
        return true;
    }
}

bool SettingsModel::changedOnlyConflictsWithCleanup() const {
    return isOn(Setting::NewOnly) && isOn(Setting::MultiArchive) && isOn(Setting::CleanBackups);
}

bool SettingsModel::hasFolder(const std::filesystem::path& folder) const {
    return m_folderSet.contains(pathBytes(folder));
}

bool SettingsModel::addFolder(const std::filesystem::path& folder) {
    if (!m_folderSet.insert(pathBytes(folder)).second)
        return false;
    m_folders.insert(std::upper_bound(m_folders.begin(), m_folders.end(), folder,
                                      [this](const auto& a, const auto& b) { return listedBefore(a, b); }),
                     folder);
    Q_EMIT folderAdded(folder);
    Q_EMIT foldersChanged();
    return true;
}

bool SettingsModel::listedBefore(const std::filesystem::path& a, const std::filesystem::path& b) const {
    const int order = m_collator.compare(pathText(a), pathText(b));
    if (order != 0)
        return order < 0;
    // Different bytes can show the same text; such folders keep a fixed order too.
    return a.native() < b.native();
}

bool SettingsModel::removeFolder(const std::filesystem::path& folder) {
    if (m_folderSet.erase(pathBytes(folder)) == 0)
        return false;
    m_folders.erase(std::find_if(m_folders.begin(), m_folders.end(), [&](const std::filesystem::path& f) {
        return f.native() == folder.native();
    }));
    Q_EMIT folderRemoved(folder);
    Q_EMIT foldersChanged();
    return true;
}

void SettingsModel::clearFolders() {
    if (m_folders.empty())
        return;
    m_folders.clear();
    m_folderSet.clear();
    Q_EMIT foldersChanged();
}

void SettingsModel::setExcludedFolders(std::vector<std::filesystem::path> folders) {
    m_excludedFolders = std::move(folders);
    Q_EMIT exclusionsChanged();
}

void SettingsModel::setExcludedTypes(QStringList types) {
    m_excludedTypes = std::move(types);
    Q_EMIT exclusionsChanged();
}

void SettingsModel::appendExcludedFolder(const std::filesystem::path& folder) {
    m_excludedFolders.push_back(folder);
    Q_EMIT excludedFolderAppended(folder);
}

void SettingsModel::appendExcludedType(const QString& type) {
    m_excludedTypes.append(type);
    Q_EMIT excludedTypeAppended(type);
}

void SettingsModel::setTotalBackups(quint64 total) {
    if (total == m_totalBackups)
        return;
    m_totalBackups = total;
    Q_EMIT totalBackupsChanged(total);
}
