// Finding the backups in a destination by the program's archive names, one archive as a folder
// tree, and a search across archives, also on an archive of 100,000 entries.
#include "archivecheck.h"
#include "restore/archivecontents.h"
#include "restore/archivesearch.h"
#include "restore/backuparchivename.h"
#include "restore/backupcatalog.h"
#include "restorefixture.h"

#include "log/timestamp.h"

#include <QTest>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

class RestoreCatalogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void archiveNames_data();
    void archiveNames();
    void datedNamesReadBackInEveryLocale();
    void catalogListsOnlyTheProgramsArchivesGroupedNewestFirst();
    void catalogTakesExactTimesAndLooksThroughLinks();
    void entryKindsFromTheStoredAttributes_data();
    void entryKindsFromTheStoredAttributes();
    void contentsFormAFolderTreeWithSizesAndTimes();
    void listAndSearchOnAHundredThousandEntries();
};

void RestoreCatalogTest::archiveNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("ours");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("stamp");
    auto row = [](const char* tag, const char* name, bool ours, const char* folder, const char* stamp) {
        QTest::newRow(tag) << QByteArray(name) << ours << QByteArray(folder) << QByteArray(stamp);
    };
    row("single", "Quoralis.zip", true, "", "");
    row("upper-case extension", "Quoralis.ZIP", true, "", "");
    row("per folder", "Quoralis_MyDocs.zip", true, "MyDocs", "");
    row("folder with blanks and _", "Quoralis_My_Docs 2.zip", true, "My_Docs 2", "");
    row("dated", "Quoralis_06_12_2026_14_05_09.zip", true, "", "06_12_2026_14_05_09");
    row("folder and date", "Quoralis_MyDocs_06_12_2026_14_05_09.zip", true, "MyDocs", "06_12_2026_14_05_09");
    row("dotted date, 12-hour clock", "Quoralis_Docs_06.12.26_2_05_09_PM.zip", true, "Docs",
        "06.12.26_2_05_09_PM");
    row("date only at midnight", "Quoralis_Docs_06_12_2026.zip", true, "Docs", "06_12_2026");
    row("folder with a version", "Quoralis_v1.2.3.zip", true, "v1.2.3", "");
    row("folder ending in .zip", "Quoralis_Old.zip.zip", true, "Old.zip", "");
    row("folder with digits", "Quoralis_Photos_2024.zip", true, "Photos_2024", "");
    row("non-UTF-8 folder", "Quoralis_caf\xe9.zip", true, "caf\xe9", "");
    row("another program's", "backup.zip", false, "", "");
    row("prefix only in part", "QuoralisX.zip", false, "", "");
    row("lower-case prefix", "quoralis.zip", false, "", "");
    row("not a zip", "Quoralis.txt", false, "", "");
    row("empty folder part", "Quoralis_.zip", false, "", "");
}

void RestoreCatalogTest::archiveNames() {
    QFETCH(QByteArray, name);
    QFETCH(bool, ours);
    const auto parsed = BackupArchiveName::parse(name.toStdString());
    QCOMPARE(parsed.has_value(), ours);
    if (!parsed)
        return;
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, stamp);
    QCOMPARE(QByteArray::fromStdString(parsed->folder), folder);
    QCOMPARE(QByteArray::fromStdString(parsed->stamp), stamp);
}

void RestoreCatalogTest::datedNamesReadBackInEveryLocale() {
    // Month names ("8_Dec_2026"), 12-hour clocks, dotted dates and other digits: whatever the
    // locale writes into a dated name, the folder part and the timestamp come back apart.
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 100);
    const std::vector<std::string> folders = {"", "Documents", "Photos_2024", "My Docs 2", "1_2_2026"};
    const QList<QDateTime> moments = {QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)),
                                      QDateTime(QDate(2026, 1, 31), QTime(0, 0, 0)),
                                      QDateTime(QDate(2027, 10, 3), QTime(9, 59, 0))};
    for (const QLocale& locale : locales) {
        for (const QDateTime& moment : moments) {
            const std::string stamp = Timestamp::fileNameText(moment, locale).toStdString();
            for (const std::string& folder : folders) {
                const std::string name =
                    "Quoralis" + (folder.empty() ? std::string() : "_" + folder) + "_" + stamp + ".zip";
                const auto parsed = BackupArchiveName::parse(name, locale);
                QVERIFY2(parsed.has_value(), name.c_str());
                QVERIFY2(parsed->folder == folder && parsed->stamp == stamp,
                         (locale.name() + QStringLiteral(": ") + QString::fromStdString(name) +
                          QStringLiteral(" read as ") + QString::fromStdString(parsed->folder) +
                          QStringLiteral(" | ") + QString::fromStdString(parsed->stamp))
                             .toUtf8());
            }
        }
    }
}

void RestoreCatalogTest::catalogListsOnlyTheProgramsArchivesGroupedNewestFirst() {
    RestoreFixture f;
    const fs::path a = f.writeSource("docs/a.txt", "a");
    const fs::path b = f.writeSource("docs/b.txt", EngineFixture::text(5000));
    const fs::path one = f.backup({a}, "Quoralis_docs_01_12_2026_10_00_00.zip");
    const fs::path two = f.backup({a, b}, "Quoralis_docs_02_12_2026_10_00_00.zip");
    const fs::path all = f.backup({a, b}, "Quoralis.zip");
    const fs::path other = f.backup({a}, "backup-by-hand.zip");
    // Per folder, undated and dated as this program writes the date where it runs now: one group.
    const fs::path undated = f.backup({a}, "Quoralis_docs.zip");
    const std::string stamp =
        Timestamp::fileNameText(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)), QLocale::system())
            .toStdString();
    const fs::path localDated = f.backup({b}, "Quoralis_docs_" + stamp + ".zip");
    EngineFixture::setMtime(undated, 1762000000);
    EngineFixture::setMtime(localDated, 1761000000);
    std::ofstream(f.destination() / "Quoralis_broken.zip") << "not an archive";
    // The older dated archive is written last: the order comes from the times, not from the names.
    EngineFixture::setMtime(two, 1764000000);
    EngineFixture::setMtime(one, 1763000000);

    const std::vector<BackupArchive> found = BackupCatalog::scan(f.destination());
    QCOMPARE(found.size(), std::size_t(6));
    QCOMPARE(found[0].path, all);
    QCOMPARE(found[0].folder, std::string());
    QCOMPARE(found[0].files, 2u);
    QCOMPARE(found[0].size, fs::file_size(all));
    QCOMPARE(found[1].folder, std::string("broken"));
    QVERIFY(!found[1].readable);
    QVERIFY(!found[1].error.empty());
    QCOMPARE(found[2].path, two);
    QCOMPARE(found[2].folder, std::string("docs"));
    QCOMPARE(found[2].files, 2u);
    QCOMPARE(found[2].mtimeNs, std::int64_t{1764000000} * 1000000000);
    QCOMPARE(found[3].path, one);
    QCOMPARE(found[3].files, 1u);
    QCOMPARE(found[4].path, undated);
    QCOMPARE(found[4].folder, std::string("docs"));
    QCOMPARE(found[5].path, localDated);
    QCOMPARE(found[5].folder, std::string("docs"));
    QCOMPARE(found[5].stamp, stamp);
    QVERIFY(
        std::none_of(found.begin(), found.end(), [&](const BackupArchive& x) { return x.path == other; }));
}

void RestoreCatalogTest::catalogTakesExactTimesAndLooksThroughLinks() {
    RestoreFixture f;
    const fs::path a = f.writeSource("docs/a.txt", "a");
    const fs::path kept = f.backup({a}, "Quoralis_kept.zip");
    const struct timespec times[2] = {{1764000000, 123456789}, {1764000000, 123456789}};
    QCOMPARE(::utimensat(AT_FDCWD, kept.c_str(), times, 0), 0);
    fs::create_symlink(kept, f.destination() / "Quoralis_linked.zip");
    fs::create_directory(f.destination() / "Quoralis_folder.zip");
    fs::create_symlink(f.destination() / "Quoralis_gone.zip", f.destination() / "Quoralis_dangling.zip");

    const std::vector<BackupArchive> found = BackupCatalog::scan(f.destination());
    QCOMPARE(found.size(), std::size_t(2));
    QCOMPARE(found[0].folder, std::string("kept"));
    QCOMPARE(found[0].mtimeNs, std::int64_t{1764000000123456789});
    QCOMPARE(found[1].folder, std::string("linked"));
    QCOMPARE(found[1].mtimeNs, found[0].mtimeNs);
    QCOMPARE(found[1].size, fs::file_size(kept));
    QCOMPARE(found[1].files, 1u);
}

void RestoreCatalogTest::entryKindsFromTheStoredAttributes_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("madeBy");
    QTest::addColumn<quint32>("external");
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint32>("mode");
    constexpr int onUnix = 3 << 8;
    constexpr int onDos = 0;
    const auto file = int(ArchiveContents::Kind::File);
    const auto folder = int(ArchiveContents::Kind::Folder);
    const auto link = int(ArchiveContents::Kind::Link);
    auto row = [](const char* tag, const char* name, int madeBy, quint32 external, int kind, quint32 mode) {
        QTest::newRow(tag) << QByteArray(name) << madeBy << external << kind << mode;
    };
    row("unix file", "a.txt", onUnix, 0100640u << 16, file, 0640);
    row("unix link", "l", onUnix, 0120777u << 16, link, 0777);
    row("unix folder without slash", "d", onUnix, 0040755u << 16, folder, 0755);
    row("socket shares a link's bits", "s", onUnix, 0140755u << 16, file, 0755);
    row("block device shares a folder's bit", "b", onUnix, 0060600u << 16, file, 0600);
    row("dos folder attribute", "d", onDos, 0x10, folder, 0);
    row("dos entry ignores the high half", "l", onDos, 0120777u << 16, file, 0);
    row("trailing slash", "d/", onDos, 0, folder, 0);
}

void RestoreCatalogTest::entryKindsFromTheStoredAttributes() {
    QFETCH(QByteArray, name);
    QFETCH(int, madeBy);
    QFETCH(quint32, external);
    QFETCH(int, kind);
    QFETCH(quint32, mode);
    ArchiveReader::Entry entry;
    entry.name = std::string_view(name.constData(), std::size_t(name.size()));
    entry.versionMadeBy = std::uint16_t(madeBy | 20);
    entry.externalAttributes = external;
    const ArchiveContents::Item item = ArchiveContents::describe(entry);
    QCOMPARE(int(item.kind), kind);
    QCOMPARE(item.mode, mode);
}

void RestoreCatalogTest::contentsFormAFolderTreeWithSizesAndTimes() {
    RestoreFixture f;
    const fs::path x = f.writeSource("tree/sub/x.txt", EngineFixture::text(1000, 1));
    const fs::path y = f.writeSource("tree/sub/deeper/y.txt", EngineFixture::text(2500, 2));
    const fs::path z = f.writeSource("tree/z.txt", QByteArray());
    EngineFixture::setMtime(x, 1700000000);
    EngineFixture::setMtime(y, 1710000000);
    EngineFixture::setMtime(z, 1690000000);
    const fs::path archive = f.backup({x, y, z}, "Quoralis.zip");
    ArchiveContents contents;
    QVERIFY(contents.open(archive));
    QCOMPARE(contents.fileCount(), 3u);
    const auto& nodes = contents.nodes();
    const std::string treePath = archivecheck::entryNameOf(f.root() / "src" / "tree").toStdString();
    const auto tree =
        std::find_if(nodes.begin(), nodes.end(), [&](const auto& n) { return n.path == treePath; });
    QVERIFY(tree != nodes.end());
    QVERIFY(tree->folder);
    QCOMPARE(tree->size, 3500u);
    QCOMPARE(tree->files, 3u);
    QCOMPARE(tree->mtimeNs, std::int64_t{1710000000} * 1000000000);
    // Folders first, then files, each by name.
    QCOMPARE(tree->children.size(), std::size_t(2));
    QCOMPARE(nodes[tree->children[0]].name, std::string_view("sub"));
    QCOMPARE(nodes[tree->children[1]].name, std::string_view("z.txt"));
    QCOMPARE(nodes[tree->children[1]].mtimeNs, std::int64_t{1690000000} * 1000000000);
    QCOMPARE(contents.entriesBelow(tree->children[0]).size(), std::size_t(2));
    QCOMPARE(nodes[nodes[tree->children[1]].parent].path, std::string_view(treePath));
}

void RestoreCatalogTest::listAndSearchOnAHundredThousandEntries() {
    RestoreFixture f;
    std::vector<fs::path> files;
    files.reserve(100000);
    for (int folder = 0; folder < 100; ++folder) {
        const fs::path dir = f.root() / "src" / "many" / ("d" + std::to_string(folder));
        fs::create_directories(dir);
        for (int i = 0; i < 1000; ++i) {
            files.push_back(dir / ("file_" + std::to_string(folder) + "_" + std::to_string(i) + ".txt"));
            std::ofstream(files.back()) << i;
        }
    }
    const fs::path big = f.backup(files, "Quoralis_many_01_12_2026_10_00_00.zip", 0);
    QVERIFY(!big.empty());
    // A later backup holds a newer version of one of them.
    const fs::path changed = files[42 * 1000 + 7];
    std::ofstream(changed) << "changed";
    EngineFixture::setMtime(changed, 1900000000);
    const fs::path later = f.backup({changed}, "Quoralis_many_02_12_2026_10_00_00.zip", 0);
    EngineFixture::setMtime(later, 1900000100);
    EngineFixture::setMtime(big, 1800000000);

    const std::vector<BackupArchive> found = BackupCatalog::scan(f.destination());
    QCOMPARE(found.size(), std::size_t(2));
    QCOMPARE(found[1].files, 100000u);
    ArchiveContents bigContents;
    ArchiveContents laterContents;
    QVERIFY(bigContents.open(big));
    QVERIFY(laterContents.open(later));
    QCOMPARE(bigContents.count(), std::size_t(100000));
    const std::string manyPath = archivecheck::entryNameOf(f.root() / "src" / "many").toStdString();
    const auto& nodes = bigContents.nodes();
    const auto many =
        std::find_if(nodes.begin(), nodes.end(), [&](const auto& n) { return n.path == manyPath; });
    QVERIFY(many != nodes.end());
    QCOMPARE(many->children.size(), std::size_t(100));
    QCOMPARE(many->files, 100000u);

    const std::vector<ArchiveSearch::Source> sources = {{&bigContents, 1800000100},
                                                        {&laterContents, 1900000100}};
    const auto hits = ArchiveSearch::find(sources, "FILE_42_7.txt");
    QCOMPARE(hits.size(), std::size_t(2));
    QCOMPARE(hits[0].source, std::size_t(1)); // the newer version first
    QCOMPARE(hits[1].source, std::size_t(0));
    QCOMPARE(bigContents.item(hits[1].entry).name,
             std::string_view(archivecheck::entryNameOf(changed).toStdString()));
    // A part of a name finds every file that has it: file_42_7, _70 to _79 and _700 to _799, and
    // the later version.
    QCOMPARE(ArchiveSearch::find(sources, "file_42_7").size(), std::size_t(1 + 10 + 100 + 1));
    QCOMPARE(ArchiveSearch::find(sources, ".txt").size(), std::size_t(100001));
    QVERIFY(ArchiveSearch::find(sources, "many").empty()); // folders are not files
}

QTEST_GUILESS_MAIN(RestoreCatalogTest)
#include "tst_restorecatalog.moc"
