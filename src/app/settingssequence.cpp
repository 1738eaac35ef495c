#include "app/settingssequence.h"

#include "app/mainwindow.h"
#include "app/toolbarwindow.h"
#include "backupset/exclusionlists.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "config/settingsstore.h"
#include "core/userprompts.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"
#include "log/logviewer.h"
#include "platform/profilebatch.h"
#include "widgets/screenfit.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr const char* kSettings = "settings";

QList<QByteArray> storedPaths(const std::vector<std::filesystem::path>& paths) {
    QList<QByteArray> result;
    result.reserve(static_cast<qsizetype>(paths.size()));
    for (const auto& path : paths)
        result.append(QByteArray::fromStdString(pathBytes(path)));
    return result;
}

} // namespace

SettingsSequence::SettingsSequence(MainWindow& form)
    : m_form(form) {}

void SettingsSequence::LoadConfig() {
    SettingsModel& settings = m_form.settings();
    const auto mark = [this](const QString& code) {
        m_form.marker().set(code);
    };
    // The file is read once, here; nothing of it is kept after the load.
    const platform::ProfileBatch ini(m_form.settingsFilePath());
    // 1
    mark(QStringLiteral("load_cfg"));
    m_form.LogMessage(QStringLiteral("Loading config"));
    if (ini.isUnreadable())
        m_form.LogMessage(QStringLiteral("The settings file cannot be read, the defaults are used: ") +
                          pathText(ini.path()));
    // 2: the design size centres the window; the stored geometry is applied without
    // the resize reaction writing it back.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int x = ini.readInteger(kSettings, "x", screen.width() / 2 - m_form.width() / 2);
    const int y = ini.readInteger(kSettings, "y", screen.height() / 2 - m_form.height() / 2);
    const int width = ini.readInteger(kSettings, "width", SettingsSchema::spec(Setting::Width).defaultValue);
    const int height =
        ini.readInteger(kSettings, "height", SettingsSchema::spec(Setting::Height).defaultValue);
    m_form.applyStoredGeometry(ScreenFit::fromStored(x, y, width, height));
    // 3
    m_form.DockLogViewer();
    // 4-8, 10: every value, into the model; the windows follow its changes.
    SettingsStore::readValues(ini, settings, mark);
    // 7
    if (settings.isOn(Setting::ToolbarMode))
        m_form.SetToolbarMode();
    // 8: the viewer shows with the main window, never before it.
    if (!settings.isOn(Setting::ShowLog))
        m_form.logViewer()->hide();
    // 9: the dependent values follow "Create multiple archives by date".
    mark(QStringLiteral("load_cfg2b"));
    if (!settings.isOn(Setting::MultiArchive))
        settings.setOn(Setting::CleanBackups, false);
    // 11-13: the exclusion lists first, so that the folders' first counts honour them.
    m_form.LogMessage(QStringLiteral("Loading folder exclusion list:"));
    for (const QByteArray& folder : SettingsStore::readList(ini, SettingsLists::excludedFolders))
        m_form.exclusions().AddExcludedFolder(std::filesystem::path(folder.toStdString()));
    m_form.LogMessage(QStringLiteral("Loading filetype exclusion list:"));
    for (const QByteArray& type : SettingsStore::readList(ini, SettingsLists::excludedTypes))
        m_form.exclusions().AddExcludedType(QString::fromUtf8(type));
    m_form.LogMessage(QStringLiteral("Loading folder list:"));
    for (const QByteArray& folder : SettingsStore::readList(ini, SettingsLists::folders))
        m_form.folderSet()->listFolder(m_form.listedFolderPath(folder));
    // Every value and list is in the model now; counting the folders may take long, and a close
    // meanwhile saves the whole list.
    settings.setLoaded();
    // 14
    m_form.LogMessage(QStringLiteral("Config loaded"));
}

void SettingsSequence::SaveConfig() {
    SettingsModel& settings = m_form.settings();
    // A model that never got the file's values would replace them with defaults.
    if (!settings.isLoaded()) {
        m_form.LogMessage(QStringLiteral("Settings not saved: they were not loaded completely"));
        return;
    }
    const auto mark = [this](const QString& code) {
        m_form.marker().set(code);
    };
    // Every key goes into one replacement of the file: a save is whole or not at all, and
    // every other section, key and comment of the file stays.
    platform::ProfileBatch ini(m_form.settingsFilePath());
    // 1
    mark(QStringLiteral("save_cfg1"));
    m_form.LogMessage(QStringLiteral("Saving config..."));
    // 2: the geometry of the window of the present mode.
    // A place off the screens of now is never kept: the next start would open out of reach.
    const QPoint toolbar = ScreenFit::onScreen(m_form.toolbarWindow()->frameGeometry()).topLeft();
    const QPoint main = ScreenFit::onScreen(m_form.frameGeometry()).topLeft();
    settings.setNumber(Setting::ToolbarX, toolbar.x());
    settings.setNumber(Setting::ToolbarY, toolbar.y());
    settings.setNumber(Setting::X, main.x());
    settings.setNumber(Setting::Y, main.y());
    settings.setNumber(Setting::Width, m_form.width());
    settings.setNumber(Setting::Height, m_form.height());
    // 3
    m_form.DockLogViewer();
    // 4-7
    SettingsStore::writeValues(ini, settings, mark);
    // 8
    mark(QStringLiteral("save_cfg5"));
    ini.eraseSection(SettingsLists::folders.section);
    // 9
    mark(QStringLiteral("save_cfg6"));
    const QList<QByteArray> folders = storable(storedPaths(settings.folders()));
    if (folders.isEmpty()) {
        commit(ini);
        return;
    }
    // 10
    SettingsStore::writeList(ini, SettingsLists::folders, folders, false);
    // 11
    mark(QStringLiteral("save_cfg7"));
    m_form.LogMessage(QStringLiteral("Saving exclusion folders..."));
    SettingsStore::writeList(ini, SettingsLists::excludedFolders,
                             storable(storedPaths(settings.excludedFolders())), true);
    // 12
    m_form.LogMessage(QStringLiteral("Saving exclusion filetypes..."));
    QList<QByteArray> types;
    for (const QString& type : settings.excludedTypes())
        types.append(type.toUtf8());
    SettingsStore::writeList(ini, SettingsLists::excludedTypes, storable(types), true);
    // 13
    mark(QStringLiteral("save_cfg8"));
    commit(ini);
    m_form.LogMessage(QStringLiteral("Config saved"));
    if (!m_form.autoShutdown() && !m_form.closingWithoutQuestions())
        m_form.CheckOutdatedArchives();
}

void SettingsSequence::commit(platform::ProfileBatch& ini) {
    ini.commit();
    // A file in a form the program cannot read (wide text) is never overwritten: it was kept.
    if (!ini.setAsidePath().empty()) {
        const QString text = QStringLiteral("The settings file could not be read. It was kept as ") +
                             pathText(ini.setAsidePath()) + QStringLiteral(" and a new one was started.");
        m_form.LogMessage(text);
        m_form.prompts().notify(text);
    }
}

QList<QByteArray> SettingsSequence::storable(const QList<QByteArray>& entries) {
    // A settings line cannot hold a line break: such an entry would come back as another path.
    QList<QByteArray> kept;
    kept.reserve(entries.size());
    for (const QByteArray& entry : entries) {
        if (entry.contains('\n') || entry.contains('\r'))
            m_form.LogMessage(QStringLiteral("Not saved, the name holds a line break: ") +
                              QString::fromUtf8(entry));
        else
            kept.append(entry);
    }
    return kept;
}
