// Restoring from the engine's own archives: every kind of name and file back in its place, with its
// time and permissions; the three answers to an existing file; a damaged archive.
#include "archivecheck.h"
#include "restore/archivecontents.h"
#include "restore/archiveverify.h"
#include "restorefixture.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::uint32_t modeOf(const fs::path& file) {
    struct stat st {};
    ::lstat(file.c_str(), &st);
    return st.st_mode & 07777;
}

// The files every round trip uses: odd and non-UTF-8 names, a deep path, an empty file, a file
// that deflates, one that does not, and one too large to be inflated in one step.
struct Sources {
    std::vector<fs::path> files;
    std::vector<QByteArray> contents;
};

Sources makeSources(RestoreFixture& f) {
    const std::vector<std::pair<std::string, QByteArray>> spec = {
        {"caf\xc3\xa9 with blanks.txt", "utf-8 name"},
        {"r\xe9sum\xe9-\xff\xfe.txt", "latin-1 name"},
        {"a/b/c/d/e/f/g/h/i/j/deep name.txt", EngineFixture::text(3000, 5)},
        {"empty", QByteArray()},
        {"odd/#$%&'()+,;=@[]^`{}~.x", "punctuation"},
        {"noise.bin", EngineFixture::noise(3 << 20, 6)},
        {"big/text.txt", EngineFixture::text(40 << 20, 7)},
    };
    Sources s;
    for (const auto& [name, content] : spec) {
        s.files.push_back(f.writeSource(name, content));
        s.contents.push_back(content);
    }
    return s;
}

} // namespace

class RestoreJobTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyKindOfFileComesBackToAChosenFolder();
    void everyKindOfFileComesBackToItsOriginalPlace();
    void aSelectedFolderIsRestoredAsThatFolder();
    void existingFilesAreReplacedKeptOrSkippedAsAnswered();
    void anAnswerForAllIsAskedOnceAndCancelStops();
    void aFileAsTheBackupHoldsItIsLeftAloneUnasked();
    void damagedEntriesAreReportedAndTheRestRestored();
    void timesPast2262ComeBackExactly();
};

void RestoreJobTest::everyKindOfFileComesBackToAChosenFolder() {
    RestoreFixture f;
    const Sources s = makeSources(f);
    ::chmod(s.files[0].c_str(), 0600);
    ::chmod(s.files[3].c_str(), 0750);
    const fs::path archive = f.backup(s.files, "Quoralis.zip");
    QVERIFY(!archive.empty());
    const fs::path target = f.root() / "restored";
    const RestoreReport report = RestoreFixture::restoreAll(archive, target);
    QVERIFY(report.problems.empty());
    QCOMPARE(report.restoredFiles, s.files.size());
    for (std::size_t i = 0; i < s.files.size(); ++i) {
        const fs::path back = target / archivecheck::entryNameOf(s.files[i]).toStdString();
        QCOMPARE(EngineFixture::readAll(back), s.contents[i]);
        // The archive holds the time to 100 ns.
        QCOMPARE(RestoreFixture::mtimeNs(back), RestoreFixture::mtimeNs(s.files[i]) / 100 * 100);
        QCOMPARE(modeOf(back), modeOf(s.files[i]));
    }
    // Nothing else: no temporary files left beside them.
    QCOMPARE(RestoreFixture::filesBelow(target).size(), qsizetype(s.files.size()));
}

void RestoreJobTest::everyKindOfFileComesBackToItsOriginalPlace() {
    RestoreFixture f;
    const Sources s = makeSources(f);
    const fs::path archive = f.backup(s.files, "Quoralis.zip");
    std::vector<std::int64_t> times;
    for (const fs::path& file : s.files)
        times.push_back(RestoreFixture::mtimeNs(file));
    fs::remove_all(f.root() / "src");
    const RestoreReport report = RestoreFixture::restoreAll(archive, fs::path());
    QVERIFY(report.problems.empty());
    for (std::size_t i = 0; i < s.files.size(); ++i) {
        QCOMPARE(EngineFixture::readAll(s.files[i]), s.contents[i]);
        QCOMPARE(RestoreFixture::mtimeNs(s.files[i]), times[i] / 100 * 100);
    }
}

void RestoreJobTest::aSelectedFolderIsRestoredAsThatFolder() {
    RestoreFixture f;
    const fs::path inside = f.writeSource("docs/letters/one.txt", "one");
    const fs::path other = f.writeSource("docs/other.txt", "other");
    const fs::path archive = f.backup({inside, other}, "Quoralis.zip");
    ArchiveContents contents;
    QVERIFY(contents.open(archive));
    const std::string letters = archivecheck::entryNameOf(inside.parent_path()).toStdString();
    std::uint32_t node = 0;
    for (std::uint32_t n = 0; n < contents.nodes().size(); ++n) {
        if (contents.nodes()[n].path == letters)
            node = n;
    }
    QVERIFY(node != 0);
    RestoreRequest request;
    request.originalPlace = false;
    request.folder = f.root() / "chosen";
    request.addNode(contents, node);
    std::atomic<bool> cancel{false};
    const RestoreReport report = RestoreJob(request, {}, cancel).run();
    QCOMPARE(report.restoredFiles, 1u);
    QCOMPARE(RestoreFixture::filesBelow(f.root() / "chosen"), QStringList{QStringLiteral("letters/one.txt")});
}

void RestoreJobTest::existingFilesAreReplacedKeptOrSkippedAsAnswered() {
    RestoreFixture f;
    const fs::path a = f.writeSource("a.txt", "backup a");
    const fs::path b = f.writeSource("b.txt", "backup b");
    const fs::path c = f.writeSource("c.txt", "backup c");
    for (const fs::path& file : {a, b, c})
        EngineFixture::setMtime(file, 1700000000);
    const fs::path archive = f.backup({a, b, c}, "Quoralis.zip");
    // Since the backup: a is older on disk, b newer, c the same age.
    std::ofstream(a) << "old a";
    EngineFixture::setMtime(a, 1600000000);
    std::ofstream(b) << "new b";
    EngineFixture::setMtime(b, 1800000000);
    std::ofstream(c) << "same c";
    EngineFixture::setMtime(c, 1700000000);

    QList<OverwriteQuestion> asked;
    RestoreFixture::Run run;
    run.overwrite = [&](const OverwriteQuestion& q) {
        asked.append(q);
        const std::string leaf = q.existing.filename().native();
        const OverwriteChoice choice = leaf == "a.txt"   ? OverwriteChoice::Replace
                                       : leaf == "b.txt" ? OverwriteChoice::KeepBoth
                                                         : OverwriteChoice::Skip;
        return OverwriteAnswer{choice, false};
    };
    const RestoreReport report = RestoreFixture::restoreAll(archive, fs::path(), run);
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked[0].existing, a);
    QVERIFY(!asked[0].existingIsNewer());
    QVERIFY(asked[1].existingIsNewer());
    QVERIFY(!asked[2].existingIsNewer());
    QCOMPARE(EngineFixture::readAll(a), QByteArray("backup a"));
    QCOMPARE(EngineFixture::readAll(b), QByteArray("new b"));
    QCOMPARE(EngineFixture::readAll(b.parent_path() / "b (restored).txt"), QByteArray("backup b"));
    QCOMPARE(EngineFixture::readAll(c), QByteArray("same c"));
    QCOMPARE(report.restoredFiles, 2u);
    QCOMPARE(report.skipped.size(), std::size_t(1));

    // Keeping both again finds the next free name.
    run.overwrite = [](const OverwriteQuestion&) {
        return OverwriteAnswer{OverwriteChoice::KeepBoth, false};
    };
    RestoreFixture::restoreAll(archive, fs::path(), run);
    QCOMPARE(EngineFixture::readAll(b.parent_path() / "b (restored 2).txt"), QByteArray("backup b"));
    QCOMPARE(EngineFixture::readAll(b), QByteArray("new b"));
}

void RestoreJobTest::anAnswerForAllIsAskedOnceAndCancelStops() {
    RestoreFixture f;
    std::vector<fs::path> files;
    for (int i = 0; i < 5; ++i)
        files.push_back(f.writeSource("f" + std::to_string(i) + ".txt", "backup"));
    const fs::path archive = f.backup(files, "Quoralis.zip");
    for (const fs::path& file : files)
        std::ofstream(file) << "changed";

    int questions = 0;
    RestoreFixture::Run run;
    run.overwrite = [&](const OverwriteQuestion&) {
        ++questions;
        return OverwriteAnswer{OverwriteChoice::Replace, true};
    };
    RestoreReport report = RestoreFixture::restoreAll(archive, fs::path(), run);
    QCOMPARE(questions, 1);
    QCOMPARE(report.restoredFiles, 5u);
    for (const fs::path& file : files)
        QCOMPARE(EngineFixture::readAll(file), QByteArray("backup"));

    for (const fs::path& file : files)
        std::ofstream(file) << "changed";
    questions = 0;
    run.overwrite = [&](const OverwriteQuestion&) {
        ++questions;
        return OverwriteAnswer{OverwriteChoice::Cancel, false};
    };
    report = RestoreFixture::restoreAll(archive, fs::path(), run);
    QCOMPARE(questions, 1);
    QVERIFY(report.cancelled);
    QCOMPARE(report.restoredFiles, 0u);
    for (const fs::path& file : files)
        QCOMPARE(EngineFixture::readAll(file), QByteArray("changed"));
}

void RestoreJobTest::aFileAsTheBackupHoldsItIsLeftAloneUnasked() {
    RestoreFixture f;
    const fs::path same = f.writeSource("same.txt", "as backed up");
    const fs::path edited = f.writeSource("edited.txt", "as backed up");
    const fs::path later = f.writeSource("later.txt", "as backed up");
    // Times with nanoseconds, finer than the 100 ns the archive keeps.
    const timespec times[2] = {{1700000000, 123456789}, {1700000000, 123456789}};
    for (const fs::path& file : {same, edited, later})
        QCOMPARE(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const fs::path archive = f.backup({same, edited, later}, "Quoralis.zip");
    // Other bytes of the same size at the same time, and the same bytes a second later.
    std::ofstream(edited) << "As backed up";
    QCOMPARE(::utimensat(AT_FDCWD, edited.c_str(), times, 0), 0);
    const timespec aSecondLater[2] = {{1700000001, 123456789}, {1700000001, 123456789}};
    QCOMPARE(::utimensat(AT_FDCWD, later.c_str(), aSecondLater, 0), 0);

    QList<OverwriteQuestion> asked;
    RestoreFixture::Run run;
    run.overwrite = [&](const OverwriteQuestion& q) {
        asked.append(q);
        return OverwriteAnswer{OverwriteChoice::Skip, false};
    };
    const RestoreReport report = RestoreFixture::restoreAll(archive, fs::path(), run);
    QCOMPARE(report.alreadyThere, 1u);
    QCOMPARE(report.restoredFiles, 0u);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].existing, edited);
    QVERIFY(!asked[0].existingIsNewer());
    QCOMPARE(asked[1].existing, later);
    QVERIFY(asked[1].existingIsNewer());
    QCOMPARE(EngineFixture::readAll(same), QByteArray("as backed up"));
    QCOMPARE(RestoreFixture::mtimeNs(same), std::int64_t{1700000000123456789});
}

void RestoreJobTest::damagedEntriesAreReportedAndTheRestRestored() {
    RestoreFixture f;
    const fs::path a = f.writeSource("a.txt", "first file");
    const fs::path b = f.writeSource("b.txt", "MIDDLE-CONTENT of the damaged file");
    const fs::path c = f.writeSource("c.txt", "last file");
    const fs::path archive = f.backup({a, b, c}, "Quoralis.zip", 0); // stored: the bytes can be found
    QByteArray bytes = EngineFixture::readAll(archive);
    const qsizetype at = bytes.indexOf("MIDDLE-CONTENT");
    QVERIFY(at > 0);
    bytes[at + 3] = 'X';
    std::ofstream(archive, std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());

    std::atomic<bool> cancel{false};
    std::uint64_t lastDone = 0;
    const ArchiveVerify::Result verified = ArchiveVerify::run(
        archive, [&](std::uint64_t done, std::uint64_t) { lastDone = done; }, cancel);
    QVERIFY(verified.readable);
    QCOMPARE(verified.entries, 3u);
    QCOMPARE(lastDone, 3u);
    QCOMPARE(verified.damaged, std::vector<std::string>{archivecheck::entryNameOf(b).toStdString()});
    QCOMPARE(verified.damagedEntries, std::vector<std::uint32_t>{1});

    const fs::path target = f.root() / "restored";
    const RestoreReport report = RestoreFixture::restoreAll(archive, target);
    QCOMPARE(report.restoredFiles, 2u);
    QCOMPARE(RestoreFixture::problemNames(report, RestoreReport::Reason::Damaged),
             QStringList{QString::fromUtf8(archivecheck::entryNameOf(b))});
    QCOMPARE(EngineFixture::readAll(target / archivecheck::entryNameOf(a).toStdString()),
             QByteArray("first file"));
    QCOMPARE(EngineFixture::readAll(target / archivecheck::entryNameOf(c).toStdString()),
             QByteArray("last file"));
    QVERIFY(!fs::exists(target / archivecheck::entryNameOf(b).toStdString()));
    QCOMPARE(RestoreFixture::filesBelow(target).size(), 2);
}

void RestoreJobTest::timesPast2262ComeBackExactly() {
    RestoreFixture f;
    const fs::path file = f.writeSource("future/report.txt", "written in 2400");
    struct tm when {};
    when.tm_year = 2400 - 1900;
    when.tm_mon = 5;
    when.tm_mday = 15;
    const time_t seconds = ::timegm(&when);
    const struct timespec times[2] = {{seconds, 123456700}, {seconds, 123456700}};
    QCOMPARE(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    struct stat st {};
    QVERIFY(::stat(file.c_str(), &st) == 0);
    if (st.st_mtim.tv_sec != seconds)
        QSKIP("this file system keeps no such time");
    const fs::path archive = f.backup({file}, "Quoralis.zip");
    QVERIFY(!archive.empty());
    const fs::path target = f.root() / "restored";
    QVERIFY(RestoreFixture::restoreAll(archive, target).problems.empty());
    const fs::path back = target / archivecheck::entryNameOf(file).toStdString();
    QVERIFY(::stat(back.c_str(), &st) == 0);
    QCOMPARE(std::int64_t(st.st_mtim.tv_sec), std::int64_t(seconds));
    QCOMPARE(st.st_mtim.tv_nsec, 123456700L);
}

QTEST_GUILESS_MAIN(RestoreJobTest)
#include "tst_restorejob.moc"
