#include "app/toolbarwindow.h"
#include "apptestharness.h"
#include "backupfixture.h"
#include "backupset/exclusiondialog.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "config/radiogroup.h"
#include "config/settingsdialog.h"
#include "config/settingsmodel.h"
#include "log/eventmarker.h"
#include "testmount.h"

#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

// Loading and saving the whole settings file through the main window.
class TestSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noFileGivesTheDefaults();
    void valuesAreReadWithProfileRules();
    void storedGeometryWinsOverTheResizeReaction();
    void saveWritesEveryKeyAndAddsTheTrailingSeparator();
    void saveWithEmptyFolderListErasesFoldersOnly();
    void garbageFileLoadsWhatItCan();
    void binaryFileIsKeptAndANewOneStarted();
    void handEditedTextInAnyEncodingIsLoaded();
    void entriesOutsideTheListsAreLoggedByName();
    void totalBackupsIsShownInTheDialog();
    void dialogClosedAnyWayIsSaved();
    void pathWithALineBreakIsNotSavedAsAnotherPath();
    void listSectionsFollowTheirCounts();
    void shrunkExclusionListKeepsOldHigherKeys();
    void handEditsBetweenOperationsAreSeen();
    void failedSaveLeavesTheFileWhole();
    void readOnlyProgramFolder_data();
    void readOnlyProgramFolder();
};

void TestSettingsFile::noFileGivesTheDefaults() {
    AppTestHarness h;
    MainWindow& form = h.start();
    SettingsDialog* f = form.settingsDialog();
    QCOMPARE(form.size(), QSize(490, 330));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(form.pos(), QPoint(screen.width() / 2 - 490 / 2, screen.height() / 2 - 330 / 2));
    for (QCheckBox* box :
         {f->cbHidden(), f->cbAuto(), f->cbNO(), f->cbInclude(), f->cbMulti(), f->cbDelPrev(), f->cbNoComp(),
          f->CbLP(), f->cbVisual(), f->cbBOLaunch(), f->cbBOClose(), f->cbNotify(), f->cbEach(), f->cbLog(),
          f->cbSLOG(), f->cbCleanBackups()})
        QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
    QVERIFY(f->cbLogClean()->isChecked());
    QVERIFY(f->cbAC()->isChecked());
    QCOMPARE(f->CleanLogDays()->value(), 7);
    QCOMPARE(f->CleanBackupDays()->value(), 30);
    QCOMPARE(f->cbVoice()->itemIndex(), 1);
    QCOMPARE(f->E_interval()->value(), 30);
    QCOMPARE(f->Destination()->text(), QString());
    QVERIFY(!form.program().toolbarMode());
}

void TestSettingsFile::valuesAreReadWithProfileRules() {
    AppTestHarness h;
    h.writeSettings("; a comment the program keeps\n"
                    "[SETTINGS]\n"
                    "Timer_Interval = 0x1E\n"
                    "log_clean_days=$0A\n"
                    "backup_clean_days=letters\n"
                    "new_only=true\n"
                    "include_hidden=2\n"
                    "del_prev=-1\n"
                    "no_comp=0\n"
                    "destination=  \"/backups/here\"  \n"
                    "voice=4\n");
    MainWindow& form = h.start();
    SettingsDialog* f = form.settingsDialog();
    QCOMPARE(f->E_interval()->value(), 30);
    QCOMPARE(f->CleanLogDays()->value(), 10);
    QCOMPARE(f->CleanBackupDays()->value(), 30);
    QVERIFY(!f->cbNO()->isChecked());
    QVERIFY(f->cbInclude()->isChecked());
    QVERIFY(f->cbDelPrev()->isChecked());
    QVERIFY(!f->cbNoComp()->isChecked());
    QCOMPARE(f->Destination()->text(), QStringLiteral("/backups/here"));
    QCOMPARE(f->cbVoice()->itemIndex(), 4);
}

void TestSettingsFile::storedGeometryWinsOverTheResizeReaction() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=10\ny=20\nwidth=600\nheight=400\n");
    MainWindow& form = h.start();
    QCOMPARE(form.size(), QSize(600, 400));
    QCOMPARE(form.pos(), QPoint(10, 20));
    // A place on no screen is not kept.
    AppTestHarness away;
    away.writeSettings("[settings]\nx=-30000\ny=99999\n");
    MainWindow& lost = away.start();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(lost.geometry().center()));
    // The farthest numbers a file can hold: no arithmetic on them overflows.
    AppTestHarness farthest;
    farthest.writeSettings("[settings]\nx=2147483647\ny=-2147483648\nwidth=2147483647\nheight=2147483647\n"
                           "toolbar_x=2147483647\ntoolbar_y=2147483647\n");
    MainWindow& far = farthest.start();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(far.geometry().center()));
    far.modes().SetToolbarMode();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(far.toolbarWindow()->geometry().center()));
    // Too small a size is raised to the minimum.
    AppTestHarness small;
    small.writeSettings("[settings]\nwidth=100\nheight=100\n");
    QCOMPARE(small.start().size(), QSize(490, 330));
}

void TestSettingsFile::saveWritesEveryKeyAndAddsTheTrailingSeparator() {
    AppTestHarness h;
    h.writeSettings("; keep me\n[other]\nkey=value\n[settings]\ndestination=/some/where\nunknown=1\n");
    MainWindow& form = h.start();
    SettingsDialog* f = form.settingsDialog();
    f->cbNO()->setChecked(true);
    f->cbMulti()->setChecked(true);
    f->cbCleanBackups()->setChecked(true);
    f->E_interval()->setValue(45);
    f->cbVoice()->setItemIndex(3);
    QVERIFY(form.close());

    const QByteArray text = h.settingsText();
    for (const char* expected : {"; keep me",
                                 "[other]",
                                 "key=value",
                                 "unknown=1",
                                 "destination=/some/where/",
                                 "new_only=1",
                                 "multi_archive=1",
                                 "clean_backups=1",
                                 "timer_interval=45",
                                 "voice=3",
                                 "start_hidden=0",
                                 "toolbar_mode=0",
                                 "window_fading=0",
                                 "backup_launch=0",
                                 "backup_close=0",
                                 "notify_destination=0",
                                 "each_folder=0",
                                 "keep_log=0",
                                 "show_log=0",
                                 "auto_check=1",
                                 "clean_logs=1",
                                 "backup_clean_days=30",
                                 "log_clean_days=7",
                                 "width=490",
                                 "height=330",
                                 "include_hidden=0",
                                 "del_prev=0",
                                 "no_comp=0",
                                 "low_priority=0",
                                 "timer_enabled=0"})
        QVERIFY2(text.contains(expected), expected);
    QCOMPARE(f->Destination()->text(), QStringLiteral("/some/where/"));
}

void TestSettingsFile::saveWithEmptyFolderListErasesFoldersOnly() {
    AppTestHarness h;
    h.writeSettings("[folders]\nfolder_count=0\nfolder_0=/does/not/exist/any/more\n"
                    "[ex_folders]\nex_folder_count=0\nex_folder_0=/x\n");
    MainWindow& form = h.start();
    form.settingsDialog()->cbEach()->setChecked(true);
    // Empty the list as the user would, then close.
    h.prompts.queueAnswer(true);
    form.findChild<QPushButton*>(QStringLiteral("btClear"))->click();
    QVERIFY(form.close());
    const QByteArray text = h.settingsText();
    QVERIFY(!text.contains("[folders]"));
    QVERIFY(text.contains("[ex_folders]"));
    QVERIFY(text.contains("ex_folder_0=/x"));
    QVERIFY(!h.messages().contains(QStringLiteral("Config saved")));
}

void TestSettingsFile::garbageFileLoadsWhatItCan() {
    AppTestHarness h;
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) % 256));
    garbage += "\n[settings]\nkeep_log=1\n" + QByteArray(1 << 20, 'x') + "\n[settings]\nkeep_log=0\n";
    h.writeSettings(garbage);
    MainWindow& form = h.start();
    QVERIFY(form.settingsDialog()->cbLog()->isChecked());
    QVERIFY(h.messages().contains(QStringLiteral("Config loaded")));
}

void TestSettingsFile::binaryFileIsKeptAndANewOneStarted() {
    AppTestHarness h;
    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(64);
    for (char& c : random)
        c = char(generator.bounded(256));
    h.writeSettings(random);
    MainWindow& form = h.start();
    const QString file = h.dir.filePath(QStringLiteral("Quoralis2005Config.ini"));
    QVERIFY(h.messages().contains(
        QStringLiteral("The settings file cannot be read, the defaults are used: ") + file));
    QVERIFY(form.close());
    QCOMPARE(h.dir.readFile(QStringLiteral("Quoralis2005Config.ini.unreadable")), random);
    const QByteArray started = h.settingsText();
    QVERIFY(started.startsWith("[settings]\n"));
    QVERIFY(!started.contains(random.left(64)));
    const QString told = QStringLiteral("The settings file could not be read. It was kept as ") + file +
                         QStringLiteral(".unreadable and a new one was started.");
    QCOMPARE(h.prompts.notices(), QStringList{told});
    QVERIFY(h.messages().contains(told));
}

void TestSettingsFile::handEditedTextInAnyEncodingIsLoaded() {
    AppTestHarness h;
    // A folder whose name is not UTF-8, stored as its own bytes, in a file edited in Latin-1.
    const QByteArray folder = QFile::encodeName(h.dir.path()) + "/Donn\xE9"
                                                                "es \xE9t\xE9";
    QVERIFY(QDir().mkpath(QFile::decodeName(folder)));
    const QByteArray text = "; R\xE9glages \xE9"
                            "crits \xE0 la main\n[settings]\nkeep_log=1\n"
                            "[folders]\nfolder_count=0\nfolder_0=" +
                            folder + "\n[ex_types]\nex_type_count=0\nex_type_0=.caf\xE9\n";
    h.writeSettings(text);
    MainWindow& form = h.start();
    QVERIFY(form.settingsDialog()->cbLog()->isChecked());
    QCOMPARE(form.FldrList()->topLevelItemCount(), 1);
    QCOMPARE(form.program().settings().excludedTypes().size(), 1);
    QVERIFY(form.close());
    QVERIFY(!QFile::exists(h.dir.filePath(QStringLiteral("Quoralis2005Config.ini.unreadable"))));
    const QByteArray saved = h.settingsText();
    QVERIFY(saved.startsWith("; R\xE9glages \xE9"
                             "crits \xE0 la main\n"));
    QVERIFY(saved.contains("folder_0=" + folder + "\n"));
    QVERIFY(h.prompts.notices().isEmpty());
}

void TestSettingsFile::entriesOutsideTheListsAreLoggedByName() {
    AppTestHarness h;
    const QByteArray a = h.dir.path().toUtf8() + "/a";
    const QByteArray b = h.dir.path().toUtf8() + "/b";
    const QByteArray c = h.dir.path().toUtf8() + "/c";
    for (const QByteArray& folder : {a, b, c})
        QDir().mkpath(QString::fromUtf8(folder));
    h.writeSettings(
        "[folders]\nfolder_count=0\nfolder_0=" + a + "\nfolder_1=" + b +
        "\n[ex_folders]\nex_folder_count=0\nex_folder_0=/x0\nex_folder_2=/x2\nex_folder_2=/x2again\n"
        "[ex_types]\nex_type_count=-1\nex_type_0=.tmp\n"
        "[Folders]\nfolder_count=1\nfolder_0=" +
        c + "\nfolder_1=\nnote=not an entry\n[ex_types]\nex_type_0=.bak\n");
    MainWindow& form = h.start();
    // As the Windows profile functions read them: the count and the first section decide.
    QCOMPARE(form.FldrList()->topLevelItemCount(), 1);
    QCOMPARE(form.exclusionDialog()->ExFolderList()->count(), 1);
    QVERIFY(form.program().settings().excludedTypes().isEmpty());
    const QStringList unlisted = h.messages().filter(QStringLiteral("Not in the list"));
    const QStringList expected{
        QStringLiteral("Not in the list, beyond ex_folder_count: ex_folder_2=/x2"),
        QStringLiteral("Not in the list, beyond ex_type_count: ex_type_0=.tmp"),
        QStringLiteral("Not in the list, in a second [ex_types] section: ex_type_0=.bak"),
        QStringLiteral("Not in the list, beyond folder_count: folder_1=") + QString::fromUtf8(b),
        QStringLiteral("Not in the list, in a second [folders] section: folder_0=") + QString::fromUtf8(c),
    };
    QCOMPARE(unlisted, expected);

    // The save writes the lists as loaded, as the Windows profile functions would: a list
    // whose first section is erased is written into the second one; a list written over its
    // section leaves the keys beyond its count. What stays is named again at the next load.
    QVERIFY(form.close());
    const QByteArray saved = h.settingsText();
    QCOMPARE(saved.count("[folders]") + saved.count("[Folders]"), 1);
    QVERIFY(saved.contains("[Folders]\nfolder_count=0\nfolder_0=" + a + "\n"));
    QVERIFY(!saved.contains(b));
    QVERIFY(!saved.contains(c));
    QVERIFY(!saved.contains(".tmp"));
    for (const char* kept : {"ex_folder_2=/x2\n", "ex_folder_2=/x2again\n", "ex_type_0=.bak\n"})
        QVERIFY2(saved.contains(kept), kept);
    AppTestHarness again;
    again.writeSettings(saved);
    again.start();
    QCOMPARE(again.messages().filter(QStringLiteral("Not in the list")),
             QStringList({expected.first(),
                          QStringLiteral("Not in the list, beyond ex_type_count: ex_type_0=.bak")}));
}

void TestSettingsFile::totalBackupsIsShownInTheDialog() {
    AppTestHarness h;
    h.writeSettings("[STATS]\ntotal_backups=41\n");
    MainWindow& form = h.start();
    QCOMPARE(form.program().settings().totalBackups(), quint64(41));
    QCOMPARE(form.settingsDialog()->TBLabel()->text(), QStringLiteral("41"));
}

void TestSettingsFile::listSectionsFollowTheirCounts() {
    AppTestHarness h;
    const QByteArray a = h.dir.path().toUtf8() + "/a";
    const QByteArray b = h.dir.path().toUtf8() + "/b";
    QDir().mkpath(QString::fromUtf8(a));
    QDir().mkpath(QString::fromUtf8(b));
    // No folder_count: one entry. An empty entry between two is skipped.
    h.writeSettings("[folders]\nfolder_0=" + a +
                    "\n"
                    "[ex_folders]\nex_folder_count=-1\nex_folder_0=/never/read\n"
                    "[ex_types]\nex_type_count=2\nex_type_0=.tmp\nex_type_1=\nex_type_2=.BAK\n");
    MainWindow& form = h.start();
    QCOMPARE(form.FldrList()->topLevelItemCount(), 1);
    QCOMPARE(form.exclusionDialog()->ExFolderList()->count(), 0);
    QCOMPARE(form.program().settings().excludedTypes(),
             QStringList({QStringLiteral(".tmp"), QStringLiteral(".BAK")}));
    // The exclusion lists are loaded before the folders, whose counts honour them.
    const QStringList messages = h.messages();
    QVERIFY(messages.indexOf(QStringLiteral("Added exclusion filtype .tmp")) <
            messages.indexOf(QStringLiteral("Added folder ") + QString::fromUtf8(a)));

    // A damaged count reads what is there and no more.
    AppTestHarness huge;
    huge.writeSettings("[folders]\nfolder_count=2147483647\nfolder_0=" + a + "\n");
    QCOMPARE(huge.start().FldrList()->topLevelItemCount(), 1);

    AppTestHarness gap;
    gap.writeSettings("[folders]\nfolder_count=2\nfolder_0=" + a + "\nfolder_1=\nfolder_2=" + b + "\n");
    QCOMPARE(gap.start().FldrList()->topLevelItemCount(), 2);
}

void TestSettingsFile::shrunkExclusionListKeepsOldHigherKeys() {
    AppTestHarness h;
    QByteArray text = "[folders]\nfolder_count=0\nfolder_0=" + h.dir.path().toUtf8() +
                      "\n[ex_folders]\nex_folder_count=4\n";
    for (int i = 0; i < 5; ++i)
        text += "ex_folder_" + QByteArray::number(i) + "=/x" + QByteArray::number(i) + "\n";
    h.writeSettings(text);
    MainWindow& form = h.start();
    QListWidget* list = form.exclusionDialog()->ExFolderList();
    QCOMPARE(list->count(), 5);
    list->item(3)->setSelected(true);
    list->item(4)->setSelected(true);
    form.exclusionDialog()->btRemoveClick();
    form.exclusionDialog()->XiButton4Click();
    QVERIFY(form.close());
    const QByteArray saved = h.settingsText();
    QVERIFY(saved.contains("ex_folder_count=2"));
    QVERIFY(saved.contains("ex_folder_4=/x4"));
    QVERIFY(saved.contains("ex_type_count=-1"));
    QVERIFY(h.messages().contains(QStringLiteral("Config saved")));

    AppTestHarness again;
    again.writeSettings(saved);
    QCOMPARE(again.start().exclusionDialog()->ExFolderList()->count(), 3);
}

void TestSettingsFile::dialogClosedAnyWayIsSaved() {
    AppTestHarness h;
    MainWindow& form = h.start();
    SettingsDialog* dialog = form.settingsDialog();
    // Ticked in the dialog, which is then closed by its close box.
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->cbBOClose()->setChecked(true);
        dialog->reject();
    });
    form.findChild<QPushButton*>(QStringLiteral("btSettings"))->click();
    QVERIFY(h.settingsText().contains("backup_close=1"));
    QCOMPARE(form.program().marker().value(), QStringLiteral("save_cfg6"));
}

void TestSettingsFile::pathWithALineBreakIsNotSavedAsAnotherPath() {
    AppTestHarness h;
    const QString plain = h.dir.filePath(QStringLiteral("nl"));
    const QString broken = plain + QStringLiteral("\nline");
    QDir().mkpath(plain);
    QDir().mkpath(broken);
    MainWindow& form = h.start();
    form.program().folderSet().AddFolder(broken.toStdString());
    form.program().folderSet().AddFolder(plain.toStdString());
    QVERIFY(form.close());
    const QByteArray saved = h.settingsText();
    QVERIFY(saved.contains("folder_count=0"));
    QVERIFY(saved.contains("folder_0=" + plain.toUtf8() + "\n"));
    QVERIFY(h.messages().contains(
        ActivityLog::oneLine(QStringLiteral("Not saved, the name holds a line break: ") + broken)));
}

void TestSettingsFile::handEditsBetweenOperationsAreSeen() {
    AppTestHarness h;
    h.writeSettings("[settings]\nwidth=600\n");
    MainWindow& form = h.start();
    QVERIFY(h.settingsText().contains("width=600"));
    // A change by hand after the load: the next save keeps it where the program holds no value.
    QByteArray text = h.settingsText();
    text += "; added by hand\n[mine]\nnote=kept\n";
    text.replace("width=600", "width=600\nhand_key=7");
    h.writeSettings(text);
    form.settingsDialog()->cbNO()->setChecked(true);
    QVERIFY(form.close());
    const QByteArray saved = h.settingsText();
    for (const char* expected : {"; added by hand", "[mine]", "note=kept", "hand_key=7", "new_only=1"})
        QVERIFY2(saved.contains(expected), expected);
}

void TestSettingsFile::failedSaveLeavesTheFileWhole() {
    AppTestHarness h;
    const QByteArray before =
        "[settings]\ndestination=/x/\n[folders]\nfolder_count=0\nfolder_0=" + h.dir.path().toUtf8() + "\n";
    h.writeSettings(before);
    MainWindow& form = h.start();
    form.settingsDialog()->cbNO()->setChecked(true);
    // A settings file that cannot be replaced: nothing of the save reaches it, the close goes on.
    QFile::setPermissions(h.dir.filePath(QStringLiteral("Quoralis2005Config.ini")), QFileDevice::ReadOwner);
    TestMount readOnly(TestMount::Kind::ReadOnlyBind, h.dir.path());
    if (!readOnly.isActive())
        QSKIP(qPrintable(readOnly.error()));
    QVERIFY(form.close());
    QVERIFY(form.program().hasEnded());
    QCOMPARE(h.settingsText(), before);
    QVERIFY(h.prompts.notices().value(0).startsWith(QStringLiteral("Unable to write to ")));
    QVERIFY(!h.messages().contains(QStringLiteral("Config saved")));
}

void TestSettingsFile::readOnlyProgramFolder_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("per-folder archives") << "each_folder";
    QTest::newRow("/autoclose") << "autoclose";
    QTest::newRow("backup at close") << "backup_close";
}

void TestSettingsFile::readOnlyProgramFolder() {
    QFETCH(QString, how);
    BackupFixture f;
    f.settings(how == QStringLiteral("each_folder")    ? "each_folder=1"
               : how == QStringLiteral("backup_close") ? "backup_close=1"
                                                       : "",
               {f.docs, f.photos});
    // The program folder cannot be written; the destination (mounted on it) can.
    QDir().mkpath(f.destination);
    TestMount readOnly(TestMount::Kind::ReadOnlyBind, f.h.dir.path());
    if (!readOnly.isActive())
        QSKIP(qPrintable(readOnly.error()));
    TestMount destination(TestMount::Kind::SmallTmpfs, f.destination, 64 << 20);
    QVERIFY2(destination.isActive(), qPrintable(destination.error()));
    const QString unableToWrite =
        QStringLiteral("Unable to write to ") + f.h.dir.filePath(QStringLiteral("Quoralis2005Config.ini"));

    if (how == QStringLiteral("autoclose")) {
        MainWindow& form = f.h.start({QStringLiteral("/autoclose")});
        QVERIFY(form.program().hasEnded());
        QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
        QVERIFY(f.h.messages().contains(unableToWrite));
        QCOMPARE(form.program().exitCode(), int(ExitStatus::AllArchivesMade));
        return;
    }
    MainWindow& form = f.h.start();
    if (how == QStringLiteral("each_folder")) {
        form.program().backup();
        // The counter could not be written after either archive, nor the end of the run; both
        // archives were made.
        QCOMPARE(f.archives(),
                 QStringList({QStringLiteral("Quoralis_Docs.zip"), QStringLiteral("Quoralis_Photos.zip")}));
        QCOMPARE(f.h.messages().count(unableToWrite), 3);
        QCOMPARE(form.program().settings().totalBackups(), quint64(2));
        QVERIFY(form.findChild<QPushButton*>(QStringLiteral("btBackup"))->isEnabled());
    }
    // The close sequence completes all the same (with its own backup when that is set).
    QVERIFY(form.close());
    QVERIFY(form.program().hasEnded());
    if (how == QStringLiteral("backup_close"))
        QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
}

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
