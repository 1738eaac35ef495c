#include "app/settingssequence.h"

#include "app/tbform.h"
#include "app/tpopfrm.h"
#include "config/radiogroup.h"
#include "config/tform2.h"
#include "log/eventmarker.h"
#include "log/tlogfrm.h"
#include "platform/profilebatch.h"
#include "platform/systeminfo.h"

#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>

namespace {

constexpr const char* kSettings = "settings";

} // namespace

SettingsSequence::SettingsSequence(TBForm& form)
    : m_form(form) {}

void SettingsSequence::readBool(const platform::ProfileBatch& ini, const char* key, QCheckBox* box,
                                bool defaultValue) {
    box->setChecked(ini.readBool(kSettings, key, defaultValue));
}

void SettingsSequence::writeBool(platform::ProfileBatch& ini, const char* key, const QCheckBox* box) {
    ini.writeBool(kSettings, key, box->isChecked());
}

void SettingsSequence::LoadConfig() {
    TForm2& f = *m_form.m_form2;
    // The file is read once, here; nothing of it is kept after the load.
    const platform::ProfileBatch ini(m_form.settingsFilePath());
    // 1
    m_form.marker().set(QStringLiteral("load_cfg"));
    m_form.LogMessage(QStringLiteral("Loading config"));
    // 2: the design size centres the window; the stored geometry is applied without
    // the resize reaction writing it back.
    m_form.m_loadingConfig = true;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int x = ini.readInteger(kSettings, "x", screen.width() / 2 - m_form.width() / 2);
    const int y = ini.readInteger(kSettings, "y", screen.height() / 2 - m_form.height() / 2);
    const int width = ini.readInteger(kSettings, "width", 420);
    const int height = ini.readInteger(kSettings, "height", 250);
    m_form.move(x, y);
    m_form.resize(width, height);
    // A stored place on no screen (a screen since removed, a damaged file) would leave the
    // window where nobody can see it: it is centred instead.
    if (!QGuiApplication::screenAt(m_form.geometry().center()))
        m_form.move(screen.center() - QPoint(m_form.width() / 2, m_form.height() / 2));
    m_form.m_loadingConfig = false;
    // 3
    m_form.DockLogViewer();
    // 4
    readBool(ini, "start_hidden", f.cbHidden(), false);
    readBool(ini, "timer_enabled", f.cbAuto(), false);
    readBool(ini, "new_only", f.cbNO(), false);
    readBool(ini, "include_hidden", f.cbInclude(), false);
    readBool(ini, "multi_archive", f.cbMulti(), false);
    readBool(ini, "del_prev", f.cbDelPrev(), false);
    readBool(ini, "no_comp", f.cbNoComp(), false);
    readBool(ini, "low_priority", f.CbLP(), false);
    // 5
    m_form.marker().set(QStringLiteral("load_cfg_new"));
    readBool(ini, "window_fading", f.cbVisual(), false);
    m_form.m_fading = f.cbVisual()->isChecked();
    if (!platform::SystemInfo::isNtFamily()) {
        m_form.m_fading = false;
        f.cbVisual()->setChecked(false);
        f.cbVisual()->setEnabled(false);
        m_form.m_menus.trayBackupAndShutdown->setEnabled(false);
        m_form.m_menus.buttonBackupAndShutdown->setEnabled(false);
    }
    // 6
    readBool(ini, "backup_launch", f.cbBOLaunch(), false);
    readBool(ini, "backup_close", f.cbBOClose(), false);
    readBool(ini, "notify_destination", f.cbNotify(), false);
    readBool(ini, "each_folder", f.cbEach(), false);
    readBool(ini, "keep_log", f.cbLog(), false);
    // 7
    m_form.m_toolbarMode = ini.readBool(kSettings, "toolbar_mode", false);
    if (m_form.m_toolbarMode)
        m_form.SetToolbarMode();
    // 8
    readBool(ini, "show_log", f.cbSLOG(), false);
    readBool(ini, "clean_logs", f.cbLogClean(), true);
    f.CleanLogDays()->setValue(ini.readInteger(kSettings, "log_clean_days", 7));
    f.cbVoice()->setItemIndex(qBound(-1, ini.readInteger(kSettings, "voice", 1), f.cbVoice()->count() - 1));
    readBool(ini, "clean_backups", f.cbCleanBackups(), false);
    f.CleanBackupDays()->setValue(ini.readInteger(kSettings, "backup_clean_days", 30));
    readBool(ini, "auto_check", f.cbAC(), true);
    m_form.m_logFrm->setVisible(f.cbSLOG()->isChecked());
    // 9
    m_form.marker().set(QStringLiteral("load_cfg2b"));
    f.cbMultiClick();
    // 10
    m_form.marker().set(QStringLiteral("load_cfg3"));
    f.E_interval()->setValue(ini.readInteger(kSettings, "timer_interval", 30));
    f.setDestinationPath(ini.readString(kSettings, "destination", QByteArray()).toStdString());
    // 11-13: the exclusion lists first, so that the folders' first counts honour them.
    m_form.LogMessage(QStringLiteral("Loading folder exclusion list:"));
    loadList(ini, "ex_folders", "ex_folder_", &TBForm::AddExcludedFolderBytes);
    m_form.LogMessage(QStringLiteral("Loading filetype exclusion list:"));
    loadList(ini, "ex_types", "ex_type_", &TBForm::AddExcludedTypeBytes);
    m_form.LogMessage(QStringLiteral("Loading folder list:"));
    loadList(ini, "folders", "folder_", &TBForm::AddFolderBytes);
    // 14
    m_form.LogMessage(QStringLiteral("Config loaded"));
}

void SettingsSequence::loadList(const platform::ProfileBatch& ini, const QByteArray& section,
                                const QByteArray& prefix, void (TBForm::*add)(const QByteArray&)) {
    // The count is the last index; -1 is an empty list. A count beyond the highest index the
    // section holds reads nothing more, so a damaged count cannot make the load run for ever.
    const int count = ini.readInteger(section, prefix + "count", 0);
    const qint64 last = qMin<qint64>(count, highestIndex(ini, section, prefix));
    for (qint64 i = 0; i <= last; ++i) {
        const QByteArray value = ini.readString(section, prefix + QByteArray::number(i), QByteArray());
        if (!value.isEmpty())
            (m_form.*add)(value);
    }
}

qint64 SettingsSequence::highestIndex(const platform::ProfileBatch& ini, const QByteArray& section,
                                      const QByteArray& prefix) {
    qint64 highest = -1;
    for (const QByteArray& key : ini.readKeys(section)) {
        if (key.size() <= prefix.size() || key.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const qint64 index = key.mid(prefix.size()).toLongLong(&ok);
        if (ok && index > highest)
            highest = index;
    }
    return highest;
}

void SettingsSequence::SaveConfig() {
    TForm2& f = *m_form.m_form2;
    // Every key goes into one replacement of the file: a save is whole or not at all, and
    // every other section, key and comment of the file stays.
    platform::ProfileBatch ini(m_form.settingsFilePath());
    // 1
    m_form.marker().set(QStringLiteral("save_cfg1"));
    m_form.LogMessage(QStringLiteral("Saving config..."));
    // 2
    if (m_form.m_toolbarMode) {
        ini.writeInteger(kSettings, "toolbar_x", m_form.m_popFrm->x());
        ini.writeInteger(kSettings, "toolbar_y", m_form.m_popFrm->y());
    } else {
        ini.writeInteger(kSettings, "x", m_form.x());
        ini.writeInteger(kSettings, "y", m_form.y());
        ini.writeInteger(kSettings, "width", m_form.width());
        ini.writeInteger(kSettings, "height", m_form.height());
    }
    // 3
    m_form.DockLogViewer();
    // 4
    m_form.marker().set(QStringLiteral("save_cfg2"));
    writeBool(ini, "start_hidden", f.cbHidden());
    writeBool(ini, "timer_enabled", f.cbAuto());
    writeBool(ini, "new_only", f.cbNO());
    writeBool(ini, "del_prev", f.cbDelPrev());
    writeBool(ini, "include_hidden", f.cbInclude());
    writeBool(ini, "multi_archive", f.cbMulti());
    writeBool(ini, "no_comp", f.cbNoComp());
    writeBool(ini, "low_priority", f.CbLP());
    ini.writeBool(kSettings, "toolbar_mode", m_form.m_toolbarMode);
    // 5
    m_form.marker().set(QStringLiteral("save_cfg_newsettings"));
    writeBool(ini, "window_fading", f.cbVisual());
    writeBool(ini, "backup_launch", f.cbBOLaunch());
    writeBool(ini, "backup_close", f.cbBOClose());
    writeBool(ini, "notify_destination", f.cbNotify());
    writeBool(ini, "each_folder", f.cbEach());
    writeBool(ini, "keep_log", f.cbLog());
    writeBool(ini, "show_log", f.cbSLOG());
    writeBool(ini, "auto_check", f.cbAC());
    writeBool(ini, "clean_logs", f.cbLogClean());
    writeBool(ini, "clean_backups", f.cbCleanBackups());
    ini.writeInteger(kSettings, "backup_clean_days", f.CleanBackupDays()->value());
    ini.writeInteger(kSettings, "log_clean_days", f.CleanLogDays()->value());
    ini.writeInteger(kSettings, "voice", f.cbVoice()->itemIndex());
    // 6
    m_form.marker().set(QStringLiteral("save_cfg3"));
    ini.writeInteger(kSettings, "timer_interval", f.E_interval()->value());
    // 7
    m_form.marker().set(QStringLiteral("save_cfg4"));
    ini.writeString(kSettings, "destination", QByteArray::fromStdString(f.terminatedDestination().native()));
    // 8
    m_form.marker().set(QStringLiteral("save_cfg5"));
    ini.eraseSection("folders");
    // 9
    m_form.marker().set(QStringLiteral("save_cfg6"));
    const QList<QByteArray> folders = storable(m_form.folderPathBytes());
    if (folders.isEmpty()) {
        ini.commit();
        return;
    }
    // 10
    saveList(ini, "folders", "folder_", folders, false);
    // 11
    m_form.marker().set(QStringLiteral("save_cfg7"));
    m_form.LogMessage(QStringLiteral("Saving exclusion folders..."));
    saveList(ini, "ex_folders", "ex_folder_", storable(m_form.excludedFolderBytes()), true);
    // 12
    m_form.LogMessage(QStringLiteral("Saving exclusion filetypes..."));
    saveList(ini, "ex_types", "ex_type_", storable(m_form.excludedTypeBytes()), true);
    // 13
    m_form.marker().set(QStringLiteral("save_cfg8"));
    ini.commit();
    m_form.LogMessage(QStringLiteral("Config saved"));
    if (!m_form.m_autoShutdown)
        m_form.CheckOutdatedArchives();
}

QList<QByteArray> SettingsSequence::storable(const QList<QByteArray>& entries) {
    // A settings line cannot hold a line break: such an entry would come back as another path.
    QList<QByteArray> kept;
    for (const QByteArray& entry : entries) {
        if (entry.contains('\n') || entry.contains('\r'))
            m_form.LogMessage(QStringLiteral("Not saved, the name holds a line break: ") +
                              QString::fromUtf8(entry));
        else
            kept.append(entry);
    }
    return kept;
}

void SettingsSequence::saveList(platform::ProfileBatch& ini, const QByteArray& section,
                                const QByteArray& prefix, const QList<QByteArray>& entries,
                                bool eraseWhenEmpty) {
    // A shorter list leaves the higher keys of a longer earlier one; they are never read
    // because reading stops at the count.
    if (eraseWhenEmpty && entries.isEmpty())
        ini.eraseSection(section);
    ini.writeInteger(section, prefix + "count", static_cast<int>(entries.size()) - 1);
    for (int i = 0; i < entries.size(); ++i)
        ini.writeString(section, prefix + QByteArray::number(i), entries.at(i));
}
