// The setup's record of which archive its changed-only marks hold for.
#include "engine/archivemarkbook.h"
#include "testprogramdir.h"

#include <QFile>
#include <QTest>

namespace fs = std::filesystem;

class ArchiveMarkBookTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void archiveAsLeftKeepsItsEpoch();
    void archiveReplacedBeginsANewEpoch_data();
    void archiveReplacedBeginsANewEpoch();
    void seriesKeepEpochsApart();
    void datedArchivesCompareTheOneWrittenLast();
};

void ArchiveMarkBookTest::archiveAsLeftKeepsItsEpoch() {
    TestProgramDir dir;
    ArchiveMarkBook book(dir.fsPath() / "archivemarks.ini");
    const fs::path archive = dir.writeFile(QStringLiteral("backups/Quoralis.zip"), "first").toStdString();
    const platform::ArchiveMark mark = book.markFor("/backups/Quoralis", archive);
    QVERIFY(mark.epoch != 0);
    QCOMPARE(mark.series, ArchiveMarkBook::seriesKey("/backups/Quoralis"));
    // Asked again before the run writes anything (the walk, then the archive job): the same.
    QCOMPARE(book.markFor("/backups/Quoralis", archive).epoch, mark.epoch);
    dir.writeFile(QStringLiteral("backups/Quoralis.zip"), "written by this run");
    book.archiveWritten(mark, archive);
    QCOMPARE(ArchiveMarkBook(dir.fsPath() / "archivemarks.ini").markFor("/backups/Quoralis", archive).epoch,
             mark.epoch);
}

void ArchiveMarkBookTest::archiveReplacedBeginsANewEpoch_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("older copy put back") << QStringLiteral("older");
    QTest::newRow("archive deleted") << QStringLiteral("deleted");
    QTest::newRow("record lost") << QStringLiteral("record lost");
    QTest::newRow("record unreadable") << QStringLiteral("record unreadable");
    QTest::newRow("another archive of the series") << QStringLiteral("renamed");
}

void ArchiveMarkBookTest::archiveReplacedBeginsANewEpoch() {
    QFETCH(QString, how);
    TestProgramDir dir;
    const fs::path record = dir.fsPath() / "archivemarks.ini";
    const fs::path archive = dir.writeFile(QStringLiteral("backups/Quoralis.zip"), "older").toStdString();
    const QByteArray older = dir.readFile(QStringLiteral("backups/Quoralis.zip"));
    const platform::ArchiveMark mark = ArchiveMarkBook(record).markFor("/backups/Quoralis", archive);
    dir.writeFile(QStringLiteral("backups/Quoralis.zip"), "newer archive");
    ArchiveMarkBook(record).archiveWritten(mark, archive);

    fs::path asked = archive;
    if (how == QStringLiteral("older")) {
        QFile::remove(QString::fromStdString(archive.native()));
        dir.writeFile(QStringLiteral("backups/Quoralis.zip"), older);
    } else if (how == QStringLiteral("deleted")) {
        fs::remove(archive);
    } else if (how == QStringLiteral("record lost")) {
        fs::remove(record);
    } else if (how == QStringLiteral("record unreadable")) {
        dir.writeFile(QStringLiteral("archivemarks.ini"), QByteArray("\0\0\0\xff\xfe", 5));
    } else {
        asked = dir.writeFile(QStringLiteral("backups/Quoralis.ZIP"), "newer archive").toStdString();
    }
    const platform::ArchiveMark next = ArchiveMarkBook(record).markFor("/backups/Quoralis", asked);
    QVERIFY(next.epoch != 0);
    QVERIFY(next.epoch != mark.epoch);
}

void ArchiveMarkBookTest::seriesKeepEpochsApart() {
    TestProgramDir dir;
    ArchiveMarkBook book(dir.fsPath() / "archivemarks.ini");
    const fs::path docs = dir.writeFile(QStringLiteral("backups/Quoralis_Docs.zip"), "docs").toStdString();
    const fs::path photos =
        dir.writeFile(QStringLiteral("backups/Quoralis_Photos.zip"), "photos").toStdString();
    const platform::ArchiveMark docsMark = book.markFor("/backups/Quoralis_Docs", docs);
    const platform::ArchiveMark photosMark = book.markFor("/backups/Quoralis_Photos", photos);
    QVERIFY(docsMark.series != photosMark.series);
    dir.writeFile(QStringLiteral("backups/Quoralis_Photos.zip"), "photos, replaced");
    QCOMPARE(book.markFor("/backups/Quoralis_Docs", docs).epoch, docsMark.epoch);
    QVERIFY(book.markFor("/backups/Quoralis_Photos", photos).epoch != photosMark.epoch);
}

void ArchiveMarkBookTest::datedArchivesCompareTheOneWrittenLast() {
    TestProgramDir dir;
    ArchiveMarkBook book(dir.fsPath() / "archivemarks.ini");
    const platform::ArchiveMark first = book.markFor("/backups/Quoralis_*", {});
    const fs::path monday =
        dir.writeFile(QStringLiteral("backups/Quoralis_monday.zip"), "monday").toStdString();
    book.archiveWritten(first, monday);
    QCOMPARE(book.markFor("/backups/Quoralis_*", {}).epoch, first.epoch);
    // The latest one deleted: the files it held are to be taken into the next one.
    fs::remove(monday);
    QVERIFY(book.markFor("/backups/Quoralis_*", {}).epoch != first.epoch);
}

QTEST_GUILESS_MAIN(ArchiveMarkBookTest)
#include "tst_archivemarkbook.moc"
