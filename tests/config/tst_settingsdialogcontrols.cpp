// The settings dialog's pages and controls: captions, hints, ranges and design values.
#include "config/radiogroup.h"
#include "config/settingsmodel.h"
#include "config/settingsdialog.h"
#include "scriptedprompts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

class TestSettingsDialogControls : public QObject {
    Q_OBJECT

    ScriptedPrompts m_prompts;
    SettingsModel* m_settings = nullptr;
    SettingsDialog* m_dialog = nullptr;

    template <typename T> T* find(const QString& name) const {
        auto* widget = m_dialog->findChild<T*>(name);
        if (!widget)
            qWarning("no control named %s", qPrintable(name));
        return widget;
    }
    // The index of the page that holds a control, found through the tab buttons' pages.
    int pageOf(QWidget* widget) const {
        auto* tabs = m_dialog->findChild<QWidget*>(QStringLiteral("PageControl1"));
        for (int i = 0; i < 4; ++i)
            if (tabs->findChild<QWidget*>(QStringLiteral("Tab") + pageTitles().at(i))->isAncestorOf(widget))
                return i;
        return -1;
    }
    static QStringList pageTitles() {
        return {QStringLiteral("General"), QStringLiteral("Destination"), QStringLiteral("Backups"),
                QStringLiteral("Voice")};
    }

private Q_SLOTS:
    void init() {
        m_settings = new SettingsModel;
        m_dialog = new SettingsDialog(*m_settings, m_prompts);
    }
    void cleanup() {
        delete m_dialog;
        delete m_settings;
    }

    void windowAndPages() {
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Quoralis2005 configuration"));
        QStringList tabs;
        for (auto* button : m_dialog->findChild<QWidget*>(QStringLiteral("PageControl1"))
                                ->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
            tabs.append(button->text());
        QCOMPARE(tabs, pageTitles());
        QCOMPARE(find<QWidget>(QStringLiteral("Panel2"))->width(), 105);
        QVERIFY(m_dialog->width() >= 460);
    }

    void buttons_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        const auto row = [](const char* name, int page, const char* caption, const char* hint = "") {
            QTest::newRow(name) << QString::fromLatin1(name) << page << QString::fromLatin1(caption)
                                << QString::fromLatin1(hint);
        };
#ifdef Q_OS_WIN
        row("sessionAutoStart", 0, "Auto start with Windows");
        row("cbVisual", 0, "Window fading", "Enable alpha fading for program window (XP)");
#else
        // The desktop's own words, not another system's.
        row("sessionAutoStart", 0, "Start with the desktop session");
        row("cbVisual", 0, "Window fading", "Enable alpha fading for program window");
#endif
        row("cbHidden", 0, "Start hidden in system tray", "Start Quoralis2005 in system tray");
        row("CbLP", 0, "Run backups in low priority", "Runs in low priority mode during backups");
        row("cbBOLaunch", 0, "Make backup on program start", "Make a backup on program launch");
        row("cbBOClose", 0, "Make backup on program close", "make backup when Quoralis2005 is closed");
        row("cbAuto", 0, "Make backup every");
        row("cbLog", 0, "Keep logs");
        row("cbSLOG", 0, "Show log viewer");
        row("cbLogClean", 0, "delete logs older than",
            "if selected, logs older than one week will be deleted (no confirmation)");
        row("SpeedButton1", 0, "delete now", "Delete older logs now");
        row("cbNotify", 1, "Notify me if destination not present");
        row("cbNO", 2, "Backup changed files only", "If selected, unchanged files will be ignored");
        row("cbInclude", 2, "Include hidden and system files");
        row("cbDelPrev", 2, "Delete previous archive first",
            "Deletes the existing archive before making a new one");
        row("cbNoComp", 2, "No compression");
        row("cbEach", 2, "Create archive for each folder",
            "If selected, every folder in your list will have its own archive. If not selected, all files go "
            "into one archive.");
        row("cbMulti", 2, "Create multiple archives by date",
            "If selected, new archive names will be created. If not selected, the same archive will be "
            "overwritten");
        row("cbCleanBackups", 2, "delete backups older than",
            "if selected, backup archives older than x days will be deleted (after confirmation)");
        row("btNews", -1, "Newsletter", "Subscribe to the newsletter and stay informed of updates!");
        row("btUpdate2", -1, "Update", "Check for newer version");
        row("cbAC", -1, "auto-check", "Check for newer version on startup");
        row("btOk", -1, "Ok", "Close settings");
    }
    void buttons() {
        QFETCH(QString, name);
        auto* button = find<QAbstractButton>(name);
        QVERIFY(button);
        QTEST(button->text(), "caption");
        QTEST(button->toolTip(), "hint");
        QTEST(pageOf(button), "page");
    }

    void labels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("Label1") << "Label1"
                                << "Destination directory:";
        QTest::newRow("Label2") << "Label2"
                                << "Leave unchecked if you are using a removable storage device (\"silent "
                                   "mode\"). Scheduled backups will be canceled if unchecked and destination "
                                   "not present.";
        QTest::newRow("Label3") << "Label3"
                                << "Total backups:";
        QTest::newRow("Label4") << "Label4"
                                << "Archive names:";
        QTest::newRow("Label5") << "Label5"
                                << "tip: you can replace the standard sounds in the \"/sounds\" directory";
        QTest::newRow("TBLabel") << "TBLabel"
                                 << "0";
        QTest::newRow("minutes") << "minutesLabel"
                                 << "minutes";
    }
    void labels() {
        QFETCH(QString, name);
        auto* label = find<QLabel>(name);
        QVERIFY(label);
        QTEST(label->text(), "text");
    }

    void spinFields_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("initial");
        QTest::newRow("E_interval") << "E_interval" << 5 << 100000 << 5 << 30;
        QTest::newRow("CleanLogDays") << "CleanLogDays" << 1 << 30 << 1 << 7;
        QTest::newRow("CleanBackupDays") << "CleanBackupDays" << 1 << 365 << 1 << 30;
    }
    void spinFields() {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, step);
        QFETCH(int, initial);
        auto* spin = find<QSpinBox>(name);
        QVERIFY(spin);
        QCOMPARE(spin->value(), initial);
        spin->stepUp();
        QCOMPARE(spin->value(), initial + step);
        // A loaded value outside the range is held to it by the field.
        spin->setValue(maximum + 1);
        QCOMPARE(spin->value(), maximum);
        spin->setValue(minimum - 1);
        QCOMPARE(spin->value(), minimum);
        spin->setValue(-2147483647);
        QCOMPARE(spin->value(), minimum);
    }

    // Without a settings file the dialog shows the settings' defaults.
    void initialStates() {
        QVERIFY(m_dialog->cbAC()->isChecked());
        QVERIFY(m_dialog->cbLogClean()->isChecked());
        QVERIFY(!m_dialog->cbMulti()->isChecked());
        QVERIFY(!m_dialog->cbCleanBackups()->isEnabled());
        QVERIFY(!m_dialog->E_interval()->isEnabled());
        QVERIFY(!m_dialog->cbLogClean()->isEnabled());
        QCOMPARE(m_dialog->XLabel()->text(), QStringLiteral("Example archive name:"));
        QCOMPARE(m_dialog->Destination()->text(), QString());
    }

    void voiceChoice() {
        RadioGroup* voice = find<RadioGroup>(QStringLiteral("cbVoice"));
        QCOMPARE(voice, m_dialog->cbVoice());
        QCOMPARE(voice->title(), QStringLiteral("Voice alerts "));
        QStringList items;
        for (auto* radio : voice->findChildren<QRadioButton*>())
            items.append(radio->text());
        QCOMPARE(items,
                 (QStringList{QStringLiteral("off"), QStringLiteral("on"), QStringLiteral("only critical"),
                              QStringLiteral("only when visible"), QStringLiteral("only when minimized")}));
        QCOMPARE(voice->itemIndex(), 1);

        QSignalSpy changed(voice, &RadioGroup::itemIndexChanged);
        voice->setItemIndex(4);
        QCOMPARE(voice->itemIndex(), 4);
        QVERIFY(voice->findChildren<QRadioButton*>().at(4)->isChecked());
        QRadioButton* off = voice->findChildren<QRadioButton*>().at(0);
        QTest::mouseClick(off, Qt::LeftButton, {}, QPoint(6, off->height() / 2));
        QCOMPARE(voice->itemIndex(), 0);
        voice->setItemIndex(7);
        QCOMPARE(voice->itemIndex(), -1);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.last().at(0).toInt(), -1);
        QCOMPARE(m_settings->number(Setting::Voice), -1);
    }

    void totalBackupsShowsTheWholeCounter() {
        m_settings->setTotalBackups(Q_UINT64_C(4294967301));
        QCOMPARE(m_dialog->TBLabel()->text(), QStringLiteral("4294967301"));
    }
};

QTEST_MAIN(TestSettingsDialogControls)
#include "tst_settingsdialogcontrols.moc"
