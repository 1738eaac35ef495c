#include "backupset/exclusionlists.h"

#include "backupset/casefolding.h"
#include "config/settingsmodel.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"

#include <algorithm>

namespace {
template <typename List> List without(const List& list, std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    List kept;
    for (int i = 0; i < static_cast<int>(list.size()); ++i)
        if (!std::binary_search(rows.begin(), rows.end(), i))
            kept.push_back(list[i]);
    return kept;
}
} // namespace

ExclusionLists::ExclusionLists(SettingsModel& settings, ActivityLog& log, EventMarker& marker)
    : m_settings(settings)
    , m_log(log)
    , m_marker(marker) {
    QObject::connect(&m_settings, &SettingsModel::exclusionsChanged, &m_settings,
                     [this] { m_indexed = false; });
}

void ExclusionLists::index() {
    if (m_indexed)
        return;
    m_folders.clear();
    m_types.clear();
    for (const auto& folder : m_settings.excludedFolders())
        m_folders.insert(CaseFolding::fold(pathBytes(folder)));
    for (const QString& type : m_settings.excludedTypes())
        m_types.insert(CaseFolding::fold(type.toStdString()));
    m_indexed = true;
}

bool ExclusionLists::addFolder(const std::filesystem::path& folder) {
    index();
    if (!m_folders.insert(CaseFolding::fold(pathBytes(folder))).second)
        return false;
    m_settings.appendExcludedFolder(folder);
    return true;
}

bool ExclusionLists::addType(const QString& type) {
    index();
    if (!m_types.insert(CaseFolding::fold(type.toStdString())).second)
        return false;
    m_settings.appendExcludedType(type);
    return true;
}

void ExclusionLists::AddExcludedFolder(const std::filesystem::path& folder) {
    m_marker.set(QStringLiteral("add_ex_folder"));
    m_log.logMessage(QStringLiteral("Added exclusion folder ") + pathText(folder));
    addFolder(folder);
}

void ExclusionLists::AddExcludedType(const QString& type) {
    m_marker.set(QStringLiteral("add_ex_type"));
    m_log.logMessage(QStringLiteral("Added exclusion filtype ") + type);
    addType(type);
}

void ExclusionLists::removeFolders(const std::vector<int>& rows) {
    m_settings.setExcludedFolders(without(m_settings.excludedFolders(), rows));
}

void ExclusionLists::removeTypes(const std::vector<int>& rows) {
    m_settings.setExcludedTypes(without(m_settings.excludedTypes(), rows));
}

void ExclusionLists::clearFolders() {
    m_settings.setExcludedFolders({});
}

void ExclusionLists::clearTypes() {
    m_settings.setExcludedTypes({});
}

QString ExclusionLists::typeFromInput(const QString& typed) {
    QString type = typed;
    for (QChar& c : type)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() - 'A' + 'a');
    if (type.isEmpty() || type == QLatin1String("*.*") || type == QLatin1String("*"))
        return QString();
    if (type.startsWith(QLatin1Char('*')))
        type.remove(0, 1);
    // "**" or "**.*" would leave a wildcard that can never match.
    if (type.isEmpty() || type == QLatin1String("*.*") || type == QLatin1String("*"))
        return QString();
    return type;
}
