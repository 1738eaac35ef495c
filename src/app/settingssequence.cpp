#include "app/settingssequence.h"

#include "app/programparts.h"
#include "app/programview.h"
#include "backupset/exclusionlists.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "config/settingsstore.h"
#include "core/userprompts.h"
#include "housekeeping/housekeeping.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"
#include "platform/profilebatch.h"

#include <limits>

namespace {

constexpr const char* kSettings = "settings";
constexpr int kAbsent = std::numeric_limits<int>::min();

std::optional<int> present(int value) {
    if (value == kAbsent)
        return std::nullopt;
    return value;
}

QList<QByteArray> storedPaths(const std::vector<std::filesystem::path>& paths) {
    QList<QByteArray> result;
    result.reserve(static_cast<qsizetype>(paths.size()));
    for (const auto& path : paths)
        result.append(QByteArray::fromStdString(pathBytes(path)));
    return result;
}

} // namespace

SettingsSequence::SettingsSequence(ProgramParts& parts)
    : m_parts(parts) {}

void SettingsSequence::LoadConfig() {
    SettingsModel& settings = m_parts.settings();
    const auto mark = [this](const QString& code) {
        m_parts.setMarker(code);
    };
    // The file is read once, here; nothing of it is kept after the load.
    const platform::ProfileBatch ini(m_parts.settingsFile());
    // 1
    mark(QStringLiteral("load_cfg"));
    m_parts.activityLog().logMessage(QStringLiteral("Loading config"));
    if (ini.isUnreadable())
        m_parts.activityLog().logMessage(
            QStringLiteral("The settings file cannot be read, the defaults are used: ") +
            pathText(ini.path()));
    // 2: without a stored place the window is centred.
    const int width = ini.readInteger(kSettings, "width", SettingsSchema::spec(Setting::Width).defaultValue);
    const int height =
        ini.readInteger(kSettings, "height", SettingsSchema::spec(Setting::Height).defaultValue);
    m_parts.programView().placeMainWindow(present(ini.readInteger(kSettings, "x", kAbsent)),
                                          present(ini.readInteger(kSettings, "y", kAbsent)),
                                          QSize(width, height));
    // 3
    m_parts.programView().dockLogViewer();
    // 4-8, 10: every value, into the model; the windows follow its changes.
    SettingsStore::readValues(ini, settings, mark);
    // 7
    if (settings.isOn(Setting::ToolbarMode))
        m_parts.programView().enterToolbarMode();
    // 8: the viewer shows with the main window, never before it.
    if (!settings.isOn(Setting::ShowLog))
        m_parts.programView().hideLogViewer();
    // 9: the dependent values follow "Create multiple archives by date".
    mark(QStringLiteral("load_cfg2b"));
    if (!settings.isOn(Setting::MultiArchive))
        settings.setOn(Setting::CleanBackups, false);
    // 11-13: the exclusion lists first, so that the folders' first counts honour them.
    m_parts.activityLog().logMessage(QStringLiteral("Loading folder exclusion list:"));
    for (const QByteArray& folder : SettingsStore::readList(ini, SettingsLists::excludedFolders))
        m_parts.exclusions().AddExcludedFolder(std::filesystem::path(folder.toStdString()));
    logUnlisted(ini, SettingsLists::excludedFolders);
    m_parts.activityLog().logMessage(QStringLiteral("Loading filetype exclusion list:"));
    for (const QByteArray& type : SettingsStore::readList(ini, SettingsLists::excludedTypes))
        m_parts.exclusions().AddExcludedType(QString::fromUtf8(type));
    logUnlisted(ini, SettingsLists::excludedTypes);
    m_parts.activityLog().logMessage(QStringLiteral("Loading folder list:"));
    for (const QByteArray& folder : SettingsStore::readList(ini, SettingsLists::folders))
        m_parts.folderSet().listFolder(m_parts.listedFolderPath(folder));
    logUnlisted(ini, SettingsLists::folders);
    // Every value and list is in the model now; counting the folders may take long, and a close
    // meanwhile saves the whole list.
    settings.setLoaded();
    // 14
    m_parts.activityLog().logMessage(QStringLiteral("Config loaded"));
}

void SettingsSequence::SaveConfig(bool checkOutdatedArchives) {
    SettingsModel& settings = m_parts.settings();
    // A model that never got the file's values would replace them with defaults.
    if (!settings.isLoaded()) {
        m_parts.activityLog().logMessage(
            QStringLiteral("Settings not saved: they were not loaded completely"));
        return;
    }
    const auto mark = [this](const QString& code) {
        m_parts.setMarker(code);
    };
    // Every key goes into one replacement of the file: a save is whole or not at all, and
    // every other section, key and comment of the file stays.
    platform::ProfileBatch ini(m_parts.settingsFile());
    // 1
    mark(QStringLiteral("save_cfg1"));
    m_parts.activityLog().logMessage(QStringLiteral("Saving config..."));
    // 2: the geometry of the window of the present mode.
    if (const std::optional<ProgramView::Places> places = m_parts.programView().places()) {
        settings.setNumber(Setting::ToolbarX, places->toolbar.x());
        settings.setNumber(Setting::ToolbarY, places->toolbar.y());
        settings.setNumber(Setting::X, places->main.x());
        settings.setNumber(Setting::Y, places->main.y());
        settings.setNumber(Setting::Width, places->mainSize.width());
        settings.setNumber(Setting::Height, places->mainSize.height());
    }
    // 3
    m_parts.programView().dockLogViewer();
    // 4-7
    SettingsStore::writeValues(ini, settings, mark);
    // 8
    mark(QStringLiteral("save_cfg5"));
    ini.eraseSection(SettingsLists::folders.section);
    // 9
    mark(QStringLiteral("save_cfg6"));
    const QList<QByteArray> folders = storable(storedPaths(settings.folders()));
    if (folders.isEmpty()) {
        commitFile(ini);
        return;
    }
    // 10
    SettingsStore::writeList(ini, SettingsLists::folders, folders, false);
    // 11
    mark(QStringLiteral("save_cfg7"));
    m_parts.activityLog().logMessage(QStringLiteral("Saving exclusion folders..."));
    SettingsStore::writeList(ini, SettingsLists::excludedFolders,
                             storable(storedPaths(settings.excludedFolders())), true);
    // 12
    m_parts.activityLog().logMessage(QStringLiteral("Saving exclusion filetypes..."));
    QList<QByteArray> types;
    for (const QString& type : settings.excludedTypes())
        types.append(type.toUtf8());
    SettingsStore::writeList(ini, SettingsLists::excludedTypes, storable(types), true);
    // 13
    mark(QStringLiteral("save_cfg8"));
    commitFile(ini);
    m_parts.activityLog().logMessage(QStringLiteral("Config saved"));
    if (checkOutdatedArchives)
        m_parts.housekeeping().CheckOutdatedArchives();
}

void SettingsSequence::commitFile(platform::ProfileBatch& ini) {
    ini.commit();
    // A file in a form the program cannot read (wide text) is never overwritten: it was kept.
    if (!ini.setAsidePath().empty()) {
        const QString text = QStringLiteral("The settings file could not be read. It was kept as ") +
                             pathText(ini.setAsidePath()) + QStringLiteral(" and a new one was started.");
        m_parts.activityLog().logMessage(text);
        m_parts.prompts().notify(text);
    }
}

void SettingsSequence::logUnlisted(const platform::ProfileBatch& ini, const SettingsListSpec& list) {
    // The list is read as the Windows profile functions read it; what that leaves out is named.
    const QString countKey = QString::fromLatin1(list.prefix) + QStringLiteral("count");
    const QString section = QString::fromLatin1(list.section);
    for (const SettingsStore::UnlistedEntry& entry : SettingsStore::readUnlisted(ini, list)) {
        const QString where = entry.inLaterSection ? QStringLiteral("in a second [%1] section").arg(section)
                                                   : QStringLiteral("beyond %1").arg(countKey);
        m_parts.activityLog().logMessage(
            QStringLiteral("Not in the list, %1: %2=%3")
                .arg(where, QString::fromUtf8(entry.key), QString::fromUtf8(entry.value)));
    }
}

QList<QByteArray> SettingsSequence::storable(const QList<QByteArray>& entries) {
    // A settings line cannot hold a line break: such an entry would come back as another path.
    QList<QByteArray> kept;
    kept.reserve(entries.size());
    for (const QByteArray& entry : entries) {
        if (entry.contains('\n') || entry.contains('\r'))
            m_parts.activityLog().logMessage(QStringLiteral("Not saved, the name holds a line break: ") +
                                             QString::fromUtf8(entry));
        else
            kept.append(entry);
    }
    return kept;
}
