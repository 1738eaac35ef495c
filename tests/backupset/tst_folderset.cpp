#include "backupset/busystate.h"
#include "backupset/exclusionlists.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "backupset/formatsize.h"
#include "config/settingsmodel.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "scriptedprompts.h"
#include "tree.h"
#include "unprivilegedscope.h"

#include <QApplication>
#include <QCollator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <sys/stat.h>

namespace {
class RecordingBusy : public BusyState {
public:
    explicit RecordingBusy(EventMarker& marker)
        : m_marker(marker) {}
    void StartWait() override {
        calls.append(QStringLiteral("start"));
        busy = true;
    }
    void StopWait() override {
        m_marker.set(QStringLiteral("stop_wait"));
        calls.append(QStringLiteral("stop"));
        busy = false;
    }
    QStringList calls;
    bool busy = false;

private:
    EventMarker& m_marker;
};

// The main window's part of the folder list, built for real around one FolderSet.
struct Window {
    Tree tree;
    SettingsModel settings;
    ScriptedPrompts prompts;
    ActivityLog log;
    EventMarker marker;
    RecordingBusy busy{marker};
    ExclusionLists exclusions{settings, log, marker};
    FolderSet set{settings, prompts, log, marker, busy};
    FolderListView list{settings, set};
    QLabel totals;

    Window() { QObject::connect(&set, &FolderSet::totalsChanged, &totals, &QLabel::setText); }

    QStringList messages() const {
        QStringList result;
        for (const QString& line : log.lines())
            result.append(line.section(QStringLiteral(" - "), 1));
        return result;
    }
    QStringList rowTexts(int column) const {
        QStringList result;
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            result.append(list.topLevelItem(i)->text(column));
        return result;
    }
};
} // namespace

// The folder list's handlers as the main window calls them: rows, totals, texts, markers.
class FolderSetTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsFollowTheLocaleCollation() {
        Window w;
        const QStringList names{QStringLiteral("beta"),  QStringLiteral("Beta"),  QStringLiteral("alpha"),
                                QStringLiteral("Älpha"), QStringLiteral("Alpha"), QStringLiteral("gamma")};
        QStringList paths;
        for (const QString& name : names) {
            paths.append(QString::fromStdString(w.tree.folder(name.toStdString()).native()));
            w.set.AddFolder(paths.back().toStdString());
        }
        QCollator collator(QLocale::system());
        collator.setCaseSensitivity(Qt::CaseSensitive);
        std::sort(paths.begin(), paths.end(), collator);
        QCOMPARE(w.rowTexts(FolderListView::FolderColumn), paths);
        QVERIFY(paths.indexOf(QRegularExpression(QStringLiteral(".*/alpha"))) <
                paths.indexOf(QRegularExpression(QStringLiteral(".*/Beta")))); // not code-point order
    }

    void duplicatesAreExactBytes() {
        Window w;
        const auto data = w.tree.file("Data/f", 4).parent_path();
        const std::filesystem::path other = w.tree.root() / "data";
        w.set.AddFolder(data);
        w.set.AddFolder(data);
        QCOMPARE(w.list.topLevelItemCount(), 1);
        QCOMPARE(w.messages().count(QStringLiteral("Added folder ") + QString::fromStdString(data.native())),
                 2);
        w.set.AddFolder(other); // differs in case only: a second row, counted as missing
        QCOMPARE(w.list.topLevelItemCount(), 2);
        QCOMPARE(w.list.findFolder(other)->text(FolderListView::SizeColumn), QStringLiteral("0 bytes"));
        QCOMPARE(w.set.folders().size(), 2u);
    }

    // Two names that are no text show alike; their rows, counts and removal still go by their bytes.
    void namesThatAreNoTextKeepTheirBytes() {
        Window w;
        const auto ff = w.tree.file("d\xff/f", 5).parent_path();
        const auto fe = w.tree.file("d\xfe/f", 7).parent_path();
        w.set.AddFolder(ff);
        w.set.AddFolder(fe);
        const QString shown = QString::fromUtf8(ff.c_str());
        QCOMPARE(w.rowTexts(FolderListView::FolderColumn), (QStringList{shown, shown}));
        QCOMPARE(w.messages().count(QStringLiteral("Added folder ") + shown), 2);
        QCOMPARE(w.list.findFolder(ff)->text(FolderListView::BytesColumn), QStringLiteral("5"));
        QCOMPARE(w.list.findFolder(fe)->text(FolderListView::BytesColumn), QStringLiteral("7"));
        QCOMPARE(FolderListView::folderOf(w.list.findFolder(fe)).native(), fe.native());

        w.list.findFolder(fe)->setSelected(true);
        QCOMPARE(w.list.selectedFolders(), std::vector<std::filesystem::path>{fe});
        w.prompts.queueAnswer(true);
        w.set.btRemoveClick(w.list.selectedFolders());
        QCOMPARE(w.set.folders(), std::vector<std::filesystem::path>{ff});
        QCOMPARE(w.list.topLevelItemCount(), 1);
        QCOMPARE(FolderListView::folderOf(w.list.topLevelItem(0)).native(), ff.native());
        QCOMPARE(w.set.SumFolderBytes(), 5);
    }

    void totalsTexts() {
        Window w;
        const auto empty = w.tree.folder("empty");
        w.set.AddFolder(empty);
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 0 files / 0 bytes"));
        w.set.btRecalcClick();
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 0 files/0 bytes"));
        QCOMPARE(w.messages().last(), w.totals.text());

        w.tree.file("full/a", 1000);
        w.tree.file("full/b", 1000);
        w.set.AddFolder(w.tree.at("full"));
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 2 files / ") + FormatSize(2000));
        QCOMPARE(w.list.findFolder(w.tree.at("full"))->text(FolderListView::BytesColumn),
                 QStringLiteral("2000"));
        w.set.btRecalcClick(); // the counter starts again at 0
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 2 files/") + FormatSize(2000));
        QCOMPARE(w.marker.value(), QStringLiteral("count_all_size_in_dirs"));
    }

    void recalculateHonoursCurrentOptionsAndLogsExclusions() {
        Window w;
        w.tree.file("top/.hidden", 10);
        w.tree.file("top/skip/a", 100);
        w.tree.file("top/b.tmp", 1000);
        w.set.AddFolder(w.tree.at("top"));
        QCOMPARE(w.set.SumFolderBytes(), 1100);
        w.settings.setOn(Setting::IncludeHidden, true);
        w.exclusions.AddExcludedFolder(w.tree.at("top/skip"));
        w.exclusions.AddExcludedType(QStringLiteral(".tmp"));
        w.set.btRecalcClick();
        QCOMPARE(w.set.SumFolderBytes(), 10);
        QCOMPARE(w.messages().last(), QStringLiteral("1 folders and 1 filetypes excluded"));
    }

    void removeAsksThenRecalculates() {
        Window w;
        w.set.AddFolder(w.tree.file("a/f", 1).parent_path());
        w.set.AddFolder(w.tree.file("b/f", 2).parent_path());
        w.prompts.queueAnswer(true); // nothing selected: asked all the same
        w.set.btRemoveClick(w.list.selectedFolders());
        QCOMPARE(
            w.prompts.questions(),
            QStringList{QStringLiteral("Are you sure you want to remove selected folder(s) from the list?")});
        QCOMPARE(w.list.topLevelItemCount(), 2);
        QCOMPARE(w.messages().last(), QStringLiteral("Total of all folders: 2 files/3 bytes"));

        w.list.topLevelItem(0)->setSelected(true);
        w.prompts.queueAnswer(false);
        w.set.btRemoveClick(w.list.selectedFolders());
        QCOMPARE(w.list.topLevelItemCount(), 2);
        w.prompts.queueAnswer(true);
        w.set.btRemoveClick(w.list.selectedFolders());
        QCOMPARE(w.rowTexts(0), QStringList{QString::fromStdString(w.tree.at("b").native())});
        QVERIFY(w.messages().contains(QStringLiteral("Removed folder ") +
                                      QString::fromStdString(w.tree.at("a").native())));
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 1 files/2 bytes"));
    }

    void clearResetsCounterAndTotals() {
        Window w;
        w.set.AddFolder(w.tree.file("a/f", 5).parent_path());
        w.prompts.queueAnswer(false);
        w.set.btClearClick();
        QCOMPARE(w.list.topLevelItemCount(), 1);
        w.prompts.queueAnswer(true);
        w.set.btClearClick();
        QCOMPARE(w.list.topLevelItemCount(), 0);
        // The whole list goes with one key press: Enter must mean No.
        QCOMPARE(w.prompts.destructiveQuestions, w.prompts.questions());
        QCOMPARE(w.prompts.destructiveQuestions.size(), 2);
        QCOMPARE(w.totals.text(), QString());
        QCOMPARE(w.messages().last(), QStringLiteral("Cleared folder list"));
        QCOMPARE(w.marker.value(), QStringLiteral("clear_list"));
        w.set.AddFolder(w.tree.file("b/f", 7).parent_path());
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 1 files / 7 bytes"));
    }

    void longPathsAreShortenedInTheMiddleAndShownWholeInTheTooltip() {
        Window w;
        const auto deep =
            w.tree.file("projects/customer <b>with</b> a long &amp; name/2026/reports/quarterly/final/f", 1)
                .parent_path();
        w.set.AddFolder(deep);
        const QString whole = QString::fromStdString(deep.native());
        QTreeWidgetItem* row = w.list.topLevelItem(0);
        QCOMPARE(row->text(FolderListView::FolderColumn), whole);
        // A name that looks like markup shows as it is, not bold, and its entity is not decoded.
        const QString tip = row->toolTip(FolderListView::FolderColumn);
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        QCOMPARE(shown.toPlainText(), whole);
        // The start says where, the end says which: both stay when the column is too narrow.
        QCOMPARE(w.list.textElideMode(), Qt::ElideMiddle);
    }

    void anEmptyListSaysHowToStart() {
        Window w;
        w.list.resize(400, 200);
        // Drawn pixels in the middle third of the list, where the hint goes and no first row reaches.
        auto hintPixels = [&w] {
            const QImage picture = w.list.viewport()->grab().toImage();
            const QRgb base = picture.pixel(0, picture.height() - 1);
            int count = 0;
            for (int y = picture.height() / 3; y < picture.height() * 2 / 3; ++y)
                for (int x = 0; x < picture.width(); ++x)
                    count += picture.pixel(x, y) != base;
            return count;
        };
        QVERIFY(w.list.firstStepsText().contains(QStringLiteral("\"Settings\"")));
        QVERIFY(hintPixels() > 50);
        w.settings.setDestination(w.tree.at("backups"));
        QVERIFY(!w.list.firstStepsText().contains(QStringLiteral("Settings")));
        // With a folder listed the list shows the folder, and no hint.
        w.set.AddFolder(w.tree.file("docs/a", 10).parent_path());
        QCOMPARE(w.list.topLevelItemCount(), 1);
        QCOMPARE(hintPixels(), 0);
    }

    void contextMenuRemovesAndOpensTheRowItWasOpenedOn() {
        Window w;
        const auto a = w.tree.file("a/f", 1).parent_path();
        const auto b = w.tree.file("b/f", 2).parent_path();
        w.set.AddFolder(a);
        w.set.AddFolder(b);
        // Wired as the main window wires it: Remove goes through the Remove button's question.
        QObject::connect(&w.list, &FolderListView::removeSelectedRequested, &w.set,
                         [&w] { w.set.btRemoveClick(w.list.selectedFolders()); });
        std::vector<std::filesystem::path> opened;
        QObject::connect(&w.list, &FolderListView::openFolderRequested, &w.set,
                         [&opened](const std::filesystem::path& folder) { opened.push_back(folder); });
        w.list.resize(400, 200);
        w.list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.list));
        w.list.topLevelItem(0)->setSelected(true);

        // A right-click on the unselected second row acts on that row alone.
        const QPoint onB = w.list.visualItemRect(w.list.topLevelItem(1)).center();
        Q_EMIT w.list.customContextMenuRequested(onB);
        QVERIFY(w.list.contextMenu()->isVisible());
        QVERIFY(w.list.openAction()->isEnabled());
        w.list.openAction()->trigger();
        QCOMPARE(opened, std::vector<std::filesystem::path>{b});
        w.list.contextMenu()->hide();

        Q_EMIT w.list.customContextMenuRequested(onB);
        w.prompts.queueAnswer(true);
        QVERIFY(w.list.removeAction()->isEnabled());
        w.list.removeAction()->trigger();
        w.list.contextMenu()->hide();
        QCOMPARE(w.rowTexts(FolderListView::FolderColumn), QStringList{QString::fromStdString(a.native())});
        QVERIFY(
            w.messages().contains(QStringLiteral("Removed folder ") + QString::fromStdString(b.native())));

        // Below the rows there is no folder to open; while a backup runs nothing is removed from here.
        w.list.setRemovingEnabled(false);
        Q_EMIT w.list.customContextMenuRequested(QPoint(5, w.list.viewport()->height() - 5));
        QVERIFY(!w.list.openAction()->isEnabled());
        w.list.topLevelItem(0)->setSelected(true);
        Q_EMIT w.list.customContextMenuRequested(w.list.visualItemRect(w.list.topLevelItem(0)).center());
        QVERIFY(!w.list.removeAction()->isEnabled());
        w.list.contextMenu()->hide();
    }

    void addButtonOpensAtTheFolderPickedLast() {
        Window w;
        const auto first = w.tree.folder("first");
        w.prompts.queueFolder(first);
        w.set.btAddClick();
        w.prompts.queueFolder(std::nullopt);
        w.set.btAddClick();
        QCOMPARE(w.prompts.shown.first(), QStringLiteral("pick: Quoralis2005 / Add a folder"));
        QCOMPARE(w.prompts.lastPickerStart, first);
        QCOMPARE(w.list.topLevelItemCount(), 1);
        QCOMPARE(w.marker.value(), QStringLiteral("add_folder"));
    }

    void countWaitsInAnEventLoopInsideTheBusyState() {
        Window w;
        // Enough entries that the walk is still running when the handler starts to wait.
        constexpr std::size_t kFiles = 5000;
        for (std::size_t i = 0; i < kFiles; ++i)
            w.tree.file("a/f" + std::to_string(i), 3);
        bool ranWhileBusy = false;
        QTimer::singleShot(0, &w.list, [&] { ranWhileBusy = w.busy.busy; });
        QCOMPARE(w.set.CountFolder(w.tree.at("a")), qint64(3 * kFiles));
        QVERIFY(ranWhileBusy);
        QCOMPARE(w.busy.calls, (QStringList{QStringLiteral("start"), QStringLiteral("stop")}));
        QCOMPARE(w.set.fileCounter(), quint64(kFiles));
    }

    void collectingAppendsWithoutBusyState() {
        Window w;
        w.tree.file("a/f", 3);
        w.tree.file("a/g", 0);
        PathList files{"/already/listed"};
        w.set.CollectFolderFiles(w.tree.at("a"), files);
        QVERIFY(files == (PathList{"/already/listed", w.tree.at("a/f")}));
        QVERIFY(w.busy.calls.isEmpty());
    }

    // A link into another listed folder is not counted twice; once that folder leaves the list,
    // the link brings its files again.
    void linksIntoListedFoldersFollowTheList() {
        Window w;
        w.tree.file("a/own", 1);
        w.tree.file("b/inner/f", 10);
        std::filesystem::create_directory_symlink(w.tree.at("b/inner"), w.tree.at("a/link"));
        w.set.AddFolder(w.tree.at("b"));
        w.set.AddFolder(w.tree.at("a"));
        QCOMPARE(w.rowTexts(FolderListView::BytesColumn),
                 (QStringList{QStringLiteral("1"), QStringLiteral("10")}));
        w.list.topLevelItem(1)->setSelected(true);
        w.prompts.queueAnswer(true);
        w.set.btRemoveClick(w.list.selectedFolders());
        QCOMPARE(w.rowTexts(FolderListView::BytesColumn), QStringList(QStringLiteral("11")));
        w.set.AddFolder(w.tree.at("b"));
        w.set.btRecalcClick();
        QCOMPARE(w.rowTexts(FolderListView::BytesColumn),
                 (QStringList{QStringLiteral("1"), QStringLiteral("10")}));
    }

    void unreadableFolderIsLoggedWhenCollecting() {
        Window w;
        w.tree.file("a/f", 3);
        w.tree.file("a/clos\xe9/g", 3);
        for (const char* folder : {"", "a"})
            QCOMPARE(::chmod((w.tree.root() / folder).c_str(), 0755), 0);
        QCOMPARE(::chmod(w.tree.at("a/clos\xe9").c_str(), 0), 0);
        PathList files;
        auto collected = FolderSet::Collected::Complete;
        {
            UnprivilegedScope unprivileged;
            QVERIFY(unprivileged.isActive());
            collected = w.set.CollectFolderFiles(w.tree.at("a"), files);
        }
        QCOMPARE(::chmod(w.tree.at("a/clos\xe9").c_str(), 0700), 0);
        QCOMPARE(collected, FolderSet::Collected::Incomplete);
        QCOMPARE(files.size(), 1u);
        QVERIFY(w.messages().contains(QStringLiteral("Could not read folder: ") +
                                      QString::fromStdString(w.tree.at("a/clos\xe9").native())));
        QCOMPARE(w.set.CollectFolderFiles(w.tree.at("a"), files), FolderSet::Collected::Complete);
    }

    // The totals follow every change of the list without adding up every row again.
    void sumFollowsRemovalsAndRecounts() {
        Window w;
        w.set.AddFolder(w.tree.file("a/f", 3).parent_path());
        w.set.AddFolder(w.tree.file("b/f", 40).parent_path());
        QCOMPARE(w.set.SumFolderBytes(), 43);
        w.settings.removeFolder(w.tree.at("a"));
        QCOMPARE(w.set.SumFolderBytes(), 40);
        w.tree.file("b/g", 2);
        w.set.btRecalcClick();
        QCOMPARE(w.set.SumFolderBytes(), 42);
        QCOMPARE(w.list.findFolder(w.tree.at("b"))->text(FolderListView::BytesColumn), QStringLiteral("42"));
    }

    // Folders listed by the settings load are counted afterwards, each once.
    void listedFoldersAreCountedOnce() {
        Window w;
        w.set.listFolder(w.tree.file("a/f", 3).parent_path());
        w.set.listFolder(w.tree.file("b/f", 4).parent_path());
        QCOMPARE(w.rowTexts(FolderListView::SizeColumn), (QStringList{QString(), QString()}));
        w.set.countUncounted();
        QCOMPARE(w.rowTexts(FolderListView::BytesColumn),
                 (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
        QCOMPARE(w.busy.calls.size(), 4);
        w.set.countUncounted();
        QCOMPARE(w.busy.calls.size(), 4);
        QCOMPARE(w.totals.text(), QStringLiteral("Total of all folders: 2 files / 7 bytes"));
    }
};

int main(int argc, char** argv) {
    qputenv("LC_ALL", "en_US.UTF-8"); // a locale whose collation is not code-point order
    QApplication app(argc, argv);
    FolderSetTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_folderset.moc"
