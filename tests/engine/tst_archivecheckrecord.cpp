// When an archive is due for its weekly check, from the record a setup keeps beside its settings.
#include "engine/archivecheckrecord.h"
#include "testprogramdir.h"

#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

class ArchiveCheckRecordTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dueOnceAWeekWhileTheArchiveStaysTheSame();
    void dueAtOnceForAnotherFileUnderTheName();
    void recordsOfArchivesThatAreGoneAreDropped();
};

namespace {

constexpr qint64 Now = 1800000000;
constexpr qint64 Day = 24 * 60 * 60;

void write(const fs::path& file, const char* content) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

} // namespace

void ArchiveCheckRecordTest::dueOnceAWeekWhileTheArchiveStaysTheSame() {
    TestProgramDir dir;
    const fs::path archive = dir.fsPath() / "Quoralis.zip";
    write(archive, "archive");
    const ArchiveCheckRecord record(dir.fsPath() / "checks.txt");
    QVERIFY(record.checkDue(archive, Now)); // never checked
    QVERIFY(record.noteChecked(archive, Now));
    QVERIFY(!record.checkDue(archive, Now + 6 * Day));
    QVERIFY(record.checkDue(archive, Now + 7 * Day));
    // A clock set back says nothing about when the archive was read.
    QVERIFY(record.checkDue(archive, Now - Day));
    // A record that cannot be read is no proof of a check.
    write(dir.fsPath() / "checks.txt", "garbage\n");
    QVERIFY(record.checkDue(archive, Now + Day));
}

void ArchiveCheckRecordTest::dueAtOnceForAnotherFileUnderTheName() {
    TestProgramDir dir;
    const fs::path archive = dir.fsPath() / "Quoralis.zip";
    write(archive, "archive");
    const ArchiveCheckRecord record(dir.fsPath() / "checks.txt");
    QVERIFY(record.noteChecked(archive, Now));
    // An older copy put back in its place: same size, another file.
    const fs::path copy = dir.fsPath() / "copy.zip";
    write(copy, "archivf");
    fs::last_write_time(copy, fs::last_write_time(archive));
    fs::rename(copy, archive);
    QVERIFY(record.checkDue(archive, Now + Day));
    QVERIFY(record.noteChecked(archive, Now + Day));
    // Changed in place, its time kept as it was.
    const auto time = fs::last_write_time(archive);
    write(archive, "archive, longer");
    fs::last_write_time(archive, time);
    QVERIFY(record.checkDue(archive, Now + 2 * Day));
}

void ArchiveCheckRecordTest::recordsOfArchivesThatAreGoneAreDropped() {
    TestProgramDir dir;
    const fs::path kept = dir.fsPath() / "kept.zip";
    const fs::path gone = dir.fsPath() / "gone.zip";
    write(kept, "kept");
    write(gone, "gone");
    const ArchiveCheckRecord record(dir.fsPath() / "checks.txt");
    QVERIFY(record.noteChecked(gone, Now));
    QVERIFY(record.noteChecked(kept, Now));
    QVERIFY(!record.checkDue(gone, Now + Day));
    fs::remove(gone);
    QVERIFY(record.noteChecked(kept, Now + Day));
    std::ifstream in(dir.fsPath() / "checks.txt");
    int lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    QCOMPARE(lines, 1);
    QVERIFY(!record.checkDue(kept, Now + Day));
}

QTEST_GUILESS_MAIN(ArchiveCheckRecordTest)
#include "tst_archivecheckrecord.moc"
