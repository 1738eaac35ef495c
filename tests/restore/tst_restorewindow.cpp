// The restore window on a destination with two backups: the list, browsing, search, and a restore
// to a chosen folder through the buttons.
#include "archivecheck.h"
#include "restore/backuplistview.h"
#include "restore/contentsview.h"
#include "restore/overwritedialog.h"
#include "restore/restorewindow.h"
#include "restore/searchresultsview.h"
#include "restorefixture.h"
#include "scriptedprompts.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <fstream>

namespace fs = std::filesystem;

class RestoreWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsTheBackupsAndRestoresASearchHit();
    void overwriteQuestionNamesANewerFile();
};

void RestoreWindowTest::listsTheBackupsAndRestoresASearchHit() {
    RestoreFixture f;
    const fs::path a = f.writeSource("docs/a.txt", "version one");
    const fs::path b = f.writeSource("docs/b.txt", "bee");
    const fs::path all = f.backup({a, b}, "Quoralis.zip");
    EngineFixture::setMtime(all, 1700000000);
    std::ofstream(a) << "version two";
    const fs::path docs = f.backup({a}, "Quoralis_docs_07_12_2026_10_00_00.zip");
    EngineFixture::setMtime(docs, 1800000000);
    f.backup({b}, "someone-elses.zip");

    ScriptedPrompts prompts;
    std::vector<fs::path> opened;
    RestoreWindow window([&] { return f.destination(); }, prompts,
                         [&](const fs::path& p) { opened.push_back(p); });
    QStringList logged;
    connect(&window, &RestoreWindow::activityReported,
            [&logged](const QString& line) { logged.append(line); });
    window.showRestore();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    BackupListView* list = window.backupList();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("All folders"));
    QCOMPARE(list->topLevelItem(0)->childCount(), 1);
    QCOMPARE(list->topLevelItem(0)->child(0)->text(0), QStringLiteral("Quoralis.zip"));
    QCOMPARE(list->topLevelItem(0)->child(0)->text(3), QStringLiteral("2"));
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("docs"));
    QCOMPARE(list->topLevelItem(1)->child(0)->text(0),
             QStringLiteral("Quoralis_docs_07_12_2026_10_00_00.zip"));
    QCOMPARE(list->topLevelItem(1)->child(0)->text(3), QStringLiteral("1"));

    // Choosing a backup shows its tree, opened down to the files.
    list->setCurrentItem(list->topLevelItem(0)->child(0));
    auto* contents = window.findChild<ContentsView*>(QStringLiteral("contentsView"));
    QVERIFY(contents->isVisible());
    QTreeWidgetItem* leaf = contents->topLevelItem(0);
    while (leaf != nullptr && leaf->childCount() > 0 && leaf->text(0) != QStringLiteral("docs"))
        leaf = leaf->child(0);
    QVERIFY(leaf != nullptr);
    QCOMPARE(leaf->childCount(), 2);
    QCOMPARE(leaf->child(0)->text(0), QStringLiteral("a.txt"));

    // The search lists both versions of a.txt, the newer first.
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("searchEdit"));
    QTest::keyClicks(search, QStringLiteral("a.txt"));
    QTest::keyClick(search, Qt::Key_Return);
    auto* results = window.findChild<SearchResultsView*>(QStringLiteral("searchResults"));
    QVERIFY(results->isVisible());
    QCOMPARE(results->topLevelItemCount(), 2);
    QCOMPARE(results->topLevelItem(0)->text(3), QStringLiteral("Quoralis_docs_07_12_2026_10_00_00.zip"));
    QCOMPARE(results->topLevelItem(1)->text(3), QStringLiteral("Quoralis.zip"));

    // The older version, restored to a chosen folder.
    results->topLevelItem(1)->setSelected(true);
    const fs::path chosen = f.root() / "chosen";
    prompts.queueFolder(chosen);
    window.findChild<QPushButton*>(QStringLiteral("btRestoreTo"))->click();
    QTRY_COMPARE(prompts.notices().size(), 1);
    QVERIFY2(prompts.notices().first().contains(QStringLiteral("Files restored: 1")),
             qPrintable(prompts.notices().first()));
    QCOMPARE(EngineFixture::readAll(chosen / "a.txt"), QByteArray("version one"));

    // Again: the file is there as the backup holds it, so it is left alone and nothing is asked.
    prompts.queueFolder(chosen);
    window.findChild<QPushButton*>(QStringLiteral("btRestoreTo"))->click();
    QTRY_COMPARE(prompts.notices().size(), 2);
    QVERIFY2(prompts.notices().last().contains(QStringLiteral("Files already there: 1")),
             qPrintable(prompts.notices().last()));

    // Changed since: the question is asked on the GUI thread while the worker waits.
    std::ofstream(chosen / "a.txt") << "edited";
    bool askedOnGuiThread = false;
    window.setOverwriteQuestion([&](const OverwriteQuestion& question) {
        askedOnGuiThread =
            QThread::currentThread() == window.thread() && question.existing == chosen / "a.txt";
        return OverwriteAnswer{OverwriteChoice::KeepBoth, false};
    });
    prompts.queueFolder(chosen);
    window.findChild<QPushButton*>(QStringLiteral("btRestoreTo"))->click();
    QTRY_COMPARE(prompts.notices().size(), 3);
    QVERIFY(askedOnGuiThread);
    QCOMPARE(EngineFixture::readAll(chosen / "a (restored).txt"), QByteArray("version one"));

    // Verify tests the chosen backup and says what it found.
    list->setCurrentItem(list->topLevelItem(1)->child(0));
    window.findChild<QPushButton*>(QStringLiteral("btVerify"))->click();
    QTRY_COMPARE(prompts.notices().size(), 4);
    QVERIFY2(prompts.notices().last().contains(QStringLiteral("No damaged entries found.")),
             qPrintable(prompts.notices().last()));
    // Every box of the window is its own, and the activity log heard of each restore and the test.
    QCOMPARE(prompts.owners, QList<QObject*>(prompts.shown.size(), &window));
    QCOMPARE(logged.size(), 4);
    QVERIFY2(logged[0].startsWith(QStringLiteral("Restored: 1 files")) &&
                 logged[0].contains(QString::fromStdString(chosen.native())),
             qPrintable(logged[0]));
    QVERIFY2(logged[1].contains(QStringLiteral("already there 1")), qPrintable(logged[1]));
    QVERIFY2(logged[2].contains(QStringLiteral("kept both 1")), qPrintable(logged[2]));
    QVERIFY2(logged[3].startsWith(QStringLiteral(
                 "Verify: Quoralis_docs_07_12_2026_10_00_00.zip: 1 of 1 entries tested, 0 damaged")),
             qPrintable(logged[3]));

    window.findChild<QPushButton*>(QStringLiteral("btOpenDestination"))->click();
    QCOMPARE(opened, std::vector<fs::path>{f.destination()});
}

void RestoreWindowTest::overwriteQuestionNamesANewerFile() {
    OverwriteQuestion question;
    question.existing = "/home/someone/letter.txt";
    question.existingMtimeNs = std::int64_t{1800000000} * 1000000000;
    question.backupMtimeNs = std::int64_t{1700000000} * 1000000000;
    QVERIFY(OverwriteDialog::text(question).contains(QStringLiteral("NEWER")));
    QVERIFY(OverwriteDialog::text(question).contains(QStringLiteral("/home/someone/letter.txt")));
    std::swap(question.existingMtimeNs, question.backupMtimeNs);
    QVERIFY(!OverwriteDialog::text(question).contains(QStringLiteral("NEWER")));
}

QTEST_MAIN(RestoreWindowTest)
#include "tst_restorewindow.moc"
