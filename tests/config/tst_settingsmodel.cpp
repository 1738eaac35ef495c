// The settings model and its file form without any window: the schema, the dependent rules, the
// load and save sequences, and the rule that a model that was never loaded is never saved.
#include "config/settingsmodel.h"
#include "config/settingsstore.h"
#include "platform/profilebatch.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <set>
#include <string>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QList<QByteArray> keysOf(const QByteArray& content) {
    QList<QByteArray> keys;
    for (const QByteArray& line : content.split('\n'))
        if (line.contains('='))
            keys.append(line.left(line.indexOf('=')));
    return keys;
}

} // namespace

class TestSettingsModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void schemaHasEveryKeyOnceInBothSequences() {
        std::set<std::string> keys;
        for (const SettingSpec& spec : SettingsSchema::all())
            QVERIFY2(keys.insert(spec.key).second, spec.key);
        QCOMPARE(keys.size(), SettingsSchema::count);
        std::set<int> saveOrders;
        for (const SettingSpec* spec : SettingsSchema::saveSequence())
            QVERIFY(saveOrders.insert(spec->saveOrder).second);
        // The geometry is the windows' to read; every other value is read by the load.
        for (const SettingSpec& spec : SettingsSchema::all())
            QCOMPARE(spec.loadOrder < 0, spec.geometry != SettingSpec::Geometry::None);
    }

    void defaultsWithoutAFile() {
        SettingsModel model;
        QVERIFY(!model.isLoaded());
        QVERIFY(model.isOn(Setting::CleanLogs));
        QVERIFY(model.isOn(Setting::AutoCheck));
        QVERIFY(!model.isOn(Setting::NewOnly));
        QCOMPARE(model.number(Setting::LogCleanDays), 7);
        QCOMPARE(model.number(Setting::BackupCleanDays), 30);
        QCOMPARE(model.number(Setting::Voice), 1);
        QCOMPARE(model.number(Setting::TimerInterval), 30);
        QVERIFY(model.destination().empty());
    }

    void dependentRules() {
        SettingsModel model;
        QVERIFY(!model.isEditable(Setting::CleanBackups));
        model.setOn(Setting::MultiArchive, true);
        QVERIFY(model.isEditable(Setting::CleanBackups));
        model.setOn(Setting::CleanBackups, true);
        model.setOn(Setting::NewOnly, true);
        QVERIFY(model.changedOnlyConflictsWithCleanup());
        model.setOn(Setting::MultiArchive, false);
        QVERIFY(!model.isOn(Setting::CleanBackups));
        QVERIFY(!model.changedOnlyConflictsWithCleanup());

        model.setOn(Setting::KeepLog, true);
        model.setOn(Setting::ShowLog, true);
        QVERIFY(model.isEditable(Setting::CleanLogs));
        model.setOn(Setting::KeepLog, false);
        QVERIFY(!model.isOn(Setting::ShowLog));
        QVERIFY(!model.isEditable(Setting::CleanLogs));
        QVERIFY(model.isOn(Setting::CleanLogs));

        QVERIFY(!model.isEditable(Setting::TimerInterval));
        model.setOn(Setting::TimerEnabled, true);
        QVERIFY(model.isEditable(Setting::TimerInterval));
    }

    void numbersAreHeldToTheirRanges() {
        SettingsModel model;
        QSignalSpy changes(&model, &SettingsModel::changed);
        model.setNumber(Setting::TimerInterval, 1);
        QCOMPARE(model.number(Setting::TimerInterval), 5);
        model.loadValue(Setting::LogCleanDays, 1000);
        QCOMPARE(model.number(Setting::LogCleanDays), 30);
        model.loadValue(Setting::Voice, 9);
        QCOMPARE(model.number(Setting::Voice), 4);
        model.loadValue(Setting::NewOnly, -1); // any non-zero number is true
        QVERIFY(model.isOn(Setting::NewOnly));
        QCOMPARE(changes.count(), 4);
        model.setNumber(Setting::TimerInterval, 5); // no change, no signal
        QCOMPARE(changes.count(), 4);
    }

    void folderListIsSortedAndDistinct() {
        SettingsModel model;
        QVERIFY(model.addFolder("/b"));
        QVERIFY(model.addFolder("/a"));
        QVERIFY(!model.addFolder("/a"));
        QVERIFY(model.addFolder("/c"));
        QCOMPARE(model.folders(), (std::vector<std::filesystem::path>{"/a", "/b", "/c"}));
        QVERIFY(model.removeFolder("/b"));
        QVERIFY(!model.removeFolder("/b"));
        QVERIFY(!model.hasFolder("/b"));
        QCOMPARE(model.folders(), (std::vector<std::filesystem::path>{"/a", "/c"}));
    }

    void destinationIsTerminatedInTheModel() {
        SettingsModel model;
        QSignalSpy changed(&model, &SettingsModel::destinationChanged);
        model.setDestination("/backup\xff");
        QCOMPARE(model.terminatedDestination(), std::filesystem::path("/backup\xff/"));
        QCOMPARE(model.destination(), std::filesystem::path("/backup\xff/"));
        QCOMPARE(changed.count(), 2);
        model.setDestination({});
        QVERIFY(model.terminatedDestination().empty());
    }

    // A file written by the store is read back whole, every key in the order of the save.
    void storeRoundTripKeepsKeyOrder() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        SettingsModel written;
        written.setOn(Setting::NewOnly, true);
        written.setOn(Setting::MultiArchive, true);
        written.setOn(Setting::CleanBackups, true);
        written.setNumber(Setting::Voice, 3);
        written.setNumber(Setting::BackupCleanDays, 12);
        written.setDestination("/dest");
        written.setNumber(Setting::X, 11);
        written.setNumber(Setting::ToolbarX, 99);
        QStringList marks;
        {
            platform::ProfileBatch ini(path);
            SettingsStore::writeValues(ini, written, [&](const QString& code) { marks.append(code); });
            ini.commit();
        }
        QCOMPARE(marks, (QStringList{"save_cfg2", "save_cfg_newsettings", "save_cfg3", "save_cfg4"}));
        const QByteArray content = readAll(path);
        QCOMPARE(keysOf(content), (QList<QByteArray>{"x",
                                                     "y",
                                                     "width",
                                                     "height",
                                                     "start_hidden",
                                                     "timer_enabled",
                                                     "new_only",
                                                     "del_prev",
                                                     "include_hidden",
                                                     "multi_archive",
                                                     "no_comp",
                                                     "low_priority",
                                                     "toolbar_mode",
                                                     "window_fading",
                                                     "backup_launch",
                                                     "backup_close",
                                                     "notify_destination",
                                                     "each_folder",
                                                     "keep_log",
                                                     "show_log",
                                                     "auto_check",
                                                     "clean_logs",
                                                     "clean_backups",
                                                     "backup_clean_days",
                                                     "log_clean_days",
                                                     "voice",
                                                     "timer_interval",
                                                     "destination",
                                                     "desktop_notifications"}));
        QVERIFY(content.contains("destination=/dest/"));

        SettingsModel read;
        const platform::ProfileBatch ini(path);
        QStringList loadMarks;
        SettingsStore::readValues(ini, read, [&](const QString& code) { loadMarks.append(code); });
        QCOMPARE(loadMarks, (QStringList{"load_cfg_new", "load_cfg3"}));
        QVERIFY(read.isOn(Setting::NewOnly) && read.isOn(Setting::CleanBackups));
        QCOMPARE(read.number(Setting::Voice), 3);
        QCOMPARE(read.number(Setting::BackupCleanDays), 12);
        QCOMPARE(read.destination(), std::filesystem::path("/dest/"));
    }

    void toolbarModeWritesOnlyTheToolbarPlace() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        writeAll(path, "[settings]\nx=5\n");
        SettingsModel model;
        model.setOn(Setting::ToolbarMode, true);
        model.setNumber(Setting::X, 700);
        model.setNumber(Setting::ToolbarX, 42);
        platform::ProfileBatch ini(path);
        SettingsStore::writeValues(ini, model, {});
        ini.commit();
        const QByteArray content = readAll(path);
        QVERIFY(content.contains("x=5\n"));
        QVERIFY(content.contains("toolbar_x=42\n"));
        QVERIFY(!content.contains("width="));
    }

    void listsReadToTheirCount() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        writeAll(path, "[folders]\nfolder_count=2\nfolder_0=/a\nfolder_1=\nfolder_2=/c\nfolder_3=/d\n"
                       "[ex_types]\nex_type_count=-1\nex_type_0=.tmp\n"
                       "[ex_folders]\nex_folder_count=99999999\nex_folder_0=/x\n");
        const platform::ProfileBatch ini(path);
        QCOMPARE(SettingsStore::readList(ini, SettingsLists::folders), (QList<QByteArray>{"/a", "/c"}));
        QVERIFY(SettingsStore::readList(ini, SettingsLists::excludedTypes).isEmpty());
        QCOMPARE(SettingsStore::readList(ini, SettingsLists::excludedFolders), QList<QByteArray>{"/x"});
    }
};

QTEST_GUILESS_MAIN(TestSettingsModel)
#include "tst_settingsmodel.moc"
