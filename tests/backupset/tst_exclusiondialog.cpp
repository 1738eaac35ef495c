#include "backupset/exclusiondialog.h"
#include "backupset/exclusionlists.h"
#include "config/settingsmodel.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "scriptedprompts.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {
QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

struct Dialog {
    ScriptedPrompts prompts;
    ActivityLog log;
    EventMarker marker;
    SettingsModel settings;
    ExclusionLists lists{settings, log, marker};
    ExclusionDialog form{lists, settings, prompts};

    void typeAndAdd(const QString& typed) {
        form.ETYPE()->setText(typed);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("XiButton2")), Qt::LeftButton);
    }
};
} // namespace

// The exclusion dialog: its adding rules, its buttons, and the loader's entry points.
class ExclusionDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layout() {
        Dialog d;
        QCOMPARE(d.form.windowTitle(), QStringLiteral("Exclusion list"));
        // A window of its own that the window manager frames, titles and lets the user move.
        QVERIFY(!d.form.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(d.form.windowFlags().testFlag(Qt::WindowTitleHint));
        QCOMPARE(d.form.ETYPE()->text(), QStringLiteral(".db"));
        QCOMPARE(d.form.ETYPE()->toolTip(), QStringLiteral("Example: \".zip\""));
        auto* tabs = d.form.findChild<QTabWidget*>();
        QCOMPARE(tabs->tabText(0), QStringLiteral("Folders"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Filetypes"));
        QCOMPARE(d.form.findChild<QPushButton*>(QStringLiteral("btDone"))->toolTip(),
                 QStringLiteral("Save list and continue"));
    }

    void enterInTheTypeFieldAddsTheType() {
        Dialog d;
        d.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d.form));
        d.form.findChild<QTabWidget*>()->setCurrentIndex(1);
        d.form.ETYPE()->setFocus();
        d.form.ETYPE()->clear();
        QTest::keyClicks(d.form.ETYPE(), QStringLiteral("*.TMP"));
        QTest::keyClick(d.form.ETYPE(), Qt::Key_Return);
        QCOMPARE(texts(d.form.ExTypeList()), QStringList{".tmp"});
        QTest::keyClicks(d.form.ETYPE(), QStringLiteral("x"));
        QTest::keyClick(d.form.ETYPE(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(texts(d.form.ExTypeList()), (QStringList{".tmp", ".tmpx"}));
        // Enter adds; it neither closes the dialog nor presses another button.
        QVERIFY(d.form.isVisible());
        QCOMPARE(d.form.result(), 0);
    }

    void addingFiletypes_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("star and upper case") << QStringList{"*.TMP"} << QStringList{".tmp"};
        QTest::newRow("duplicates without case")
            << QStringList{"*.TMP", "*.tmp", ".Tmp"} << QStringList{".tmp"};
        QTest::newRow("wildcards and empty refused") << QStringList{"*", "*.*", "", "**"} << QStringList{};
        QTest::newRow("no dot kept as typed") << QStringList{"TMP"} << QStringList{"tmp"};
        QTest::newRow("only A to Z lowered") << QStringList{".ÄB"} << QStringList{".Äb"};
        QTest::newRow("order of adding")
            << QStringList{".zip", ".bak", ".db"} << QStringList{".zip", ".bak", ".db"};
    }
    void addingFiletypes() {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, listed);
        Dialog d;
        for (const QString& t : typed)
            d.typeAndAdd(t);
        QCOMPARE(texts(d.form.ExTypeList()), listed);
        QCOMPARE(d.settings.excludedTypes(), listed);
        QCOMPARE(d.form.ETYPE()->text(), typed.last()); // the field keeps its text
        QVERIFY(d.log.lines().isEmpty());
    }

    void addingFolders() {
        Dialog d;
        d.prompts.queueFolder(std::filesystem::path("/data/Temp"));
        d.prompts.queueFolder(std::filesystem::path("/DATA/TEMP"));
        d.prompts.queueFolder(std::nullopt);
        d.prompts.queueFolder(std::filesystem::path("/data/caf\xe9"));
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(d.form.findChild<QPushButton*>(QStringLiteral("btAdd")), Qt::LeftButton);
        QCOMPARE(d.settings.excludedFolders(),
                 (std::vector<std::filesystem::path>{"/data/Temp", "/data/caf\xe9"}));
        QCOMPARE(d.prompts.shown.first(), QStringLiteral("pick: Quoralis2005 / Add a folder"));
        QCOMPARE(d.prompts.lastPickerStart, std::filesystem::path("/DATA/TEMP"));
        QVERIFY(d.log.lines().isEmpty());
        QVERIFY(d.marker.value().isEmpty());
    }

    void removeAndClear() {
        Dialog d;
        for (const char* t : {".a", ".b", ".c"})
            d.typeAndAdd(QString::fromLatin1(t));
        d.form.ExTypeList()->item(0)->setSelected(true);
        d.form.ExTypeList()->item(2)->setSelected(true);
        QTest::mouseClick(d.form.findChild<QPushButton*>(QStringLiteral("XiButton3")), Qt::LeftButton);
        QCOMPARE(d.settings.excludedTypes(), QStringList{".b"});
        QTest::mouseClick(d.form.findChild<QPushButton*>(QStringLiteral("XiButton4")), Qt::LeftButton);
        QVERIFY(d.settings.excludedTypes().isEmpty());

        d.lists.AddExcludedFolder("/x");
        d.lists.AddExcludedFolder("/y");
        d.form.ExFolderList()->item(1)->setSelected(true);
        QTest::mouseClick(d.form.findChild<QPushButton*>(QStringLiteral("btRemove")), Qt::LeftButton);
        QCOMPARE(d.settings.excludedFolders(), std::vector<std::filesystem::path>{"/x"});
        QTest::mouseClick(d.form.findChild<QPushButton*>(QStringLiteral("btClear")), Qt::LeftButton);
        QVERIFY(d.settings.excludedFolders().empty());
    }

    void loaderEntriesAreLoggedAndTakenUnchanged() {
        Dialog d;
        d.lists.AddExcludedFolder("/Work/Temp");
        QCOMPARE(d.marker.value(), QStringLiteral("add_ex_folder"));
        d.lists.AddExcludedFolder("/work/temp");
        d.lists.AddExcludedType(QStringLiteral("*.TMP"));
        QCOMPARE(d.marker.value(), QStringLiteral("add_ex_type"));
        d.lists.AddExcludedType(QStringLiteral("*.tmp"));
        QCOMPARE(d.settings.excludedFolders(), std::vector<std::filesystem::path>{"/Work/Temp"});
        QCOMPARE(d.settings.excludedTypes(), QStringList{"*.TMP"});
        QStringList messages;
        for (const QString& line : d.log.lines())
            messages.append(line.section(QStringLiteral(" - "), 1));
        QCOMPARE(messages,
                 (QStringList{"Added exclusion folder /Work/Temp", "Added exclusion folder /work/temp",
                              "Added exclusion filtype *.TMP", "Added exclusion filtype *.tmp"}));
    }
};

QTEST_MAIN(ExclusionDialogTest)
#include "tst_exclusiondialog.moc"
