#include "app/exitstatus.h"
#include "archivecheck.h"
#include "archivereader.h"
#include "installedprogram.h"
#include "restore/archiveverify.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The program with one folder of files, backed up into one archive that runs update.
struct ProgramWithDocs : InstalledProgram {
    explicit ProgramWithDocs(const QByteArray& extra = {}) {
        for (int i = 0; i < 400; ++i)
            text += "line " + QByteArray::number(i * 7919 % 1000) + " of a letter that rots\n";
        dir.writeFile(QStringLiteral("data/Docs/a.txt"), text);
        dir.writeFile(QStringLiteral("data/Docs/b.txt"), "bee");
        settings(extra, {QStringLiteral("data/Docs")});
    }
    QString file(const QString& name) const { return dir.filePath(QStringLiteral("data/Docs/") + name); }
    QString entry(const QString& name) const {
        return QString::fromUtf8(archivecheck::entryNameOf(file(name).toStdString()));
    }
    QString recordFile() const { return dir.filePath(QStringLiteral("Quoralis2005Checks.txt")); }
    // The last whole check of every archive moved `days` into the past.
    void ageChecks(int days) const {
        QByteArray aged;
        for (const QByteArray& line : dir.readFile(QStringLiteral("Quoralis2005Checks.txt")).split('\n')) {
            QList<QByteArray> fields = line.split(' ');
            if (fields.size() < 2)
                continue;
            fields.last() = QByteArray::number(fields.last().toLongLong() - qint64(days) * 24 * 60 * 60);
            aged += fields.join(' ') + '\n';
        }
        QVERIFY(!aged.isEmpty());
        dir.writeFile(QStringLiteral("Quoralis2005Checks.txt"), aged);
    }
    QByteArray archiveBytes() const { return dir.readFile(QStringLiteral("backups/Quoralis.zip")); }
    QByteArray text;
};

bool edit(const QStringList& arguments) {
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedChannels);
    python.start(QStringLiteral("python3"), QStringList{qEnvironmentVariable("QUORALIS_SOURCE_DIR") +
                                                        QStringLiteral("/tests/app/archiveedit.py")} +
                                                arguments);
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

// The entry's data as `unzip -p`, Python's zipfile and `7z e -so` give it; empty when one fails.
QByteArray readByEveryReader(const QString& archive, const QString& entry) {
    const QString python =
        QStringLiteral("import sys, zipfile\n"
                       "sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))\n");
    const QList<std::pair<QString, QStringList>> readers = {
        {QStringLiteral("unzip"), {QStringLiteral("-p"), archive, entry}},
        {QStringLiteral("python3"), {QStringLiteral("-c"), python, archive, entry}},
        {QStringLiteral("7z"), {QStringLiteral("e"), QStringLiteral("-so"), archive, entry}}};
    QByteArray agreed;
    for (const auto& [program, arguments] : readers) {
        QProcess reader;
        reader.start(program, arguments);
        if (!reader.waitForFinished(60000) || reader.exitCode() != 0)
            return {};
        const QByteArray data = reader.readAllStandardOutput();
        if (!agreed.isNull() && data != agreed)
            return {};
        agreed = data;
    }
    return agreed;
}

bool everyReaderAccepts(const QString& archive, QString* why) {
    const fs::path path = archive.toStdString();
    return archivecheck::unzipTest(path, why) && archivecheck::pythonTest(path, why) &&
           archivecheck::sevenZipTest(path, why);
}

fs::file_time_type modificationTime(const QString& path) {
    return fs::last_write_time(path.toStdString());
}

} // namespace

// Archives that time, the disk or another program changed between two "/autoclose" runs: a run
// that keeps an archive finds what it can no longer vouch for, and says so.
class TestKeptArchiveChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rotIsFoundWhileNothingChanges();
    void rotInTheOnlyCopyOfADeletedFileIsKeptAside();
    void entriesThisProgramCannotRead_data();
    void entriesThisProgramCannotRead();
    void longNameThatIsNotUtf8StaysWithinWhatReadersAccept();
};

void TestKeptArchiveChecks::rotIsFoundWhileNothingChanges() {
    ProgramWithDocs p;
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QByteArray made = p.archiveBytes();
    const fs::file_time_type madeTime = modificationTime(p.archive());

    // A week later nothing changed: the archive is read whole, and a sound one is left alone.
    p.ageChecks(8);
    const QByteArray agedRecord = p.dir.readFile(QStringLiteral("Quoralis2005Checks.txt"));
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QCOMPARE(p.archiveBytes(), made);
    QVERIFY(modificationTime(p.archive()) == madeTime);
    QVERIFY2(p.dir.readFile(QStringLiteral("Quoralis2005Checks.txt")) != agedRecord,
             "the check was not recorded");

    // One byte rots; the archive's time stays. Checked a moment ago, it is not read again yet.
    QVERIFY(edit({QStringLiteral("flip"), p.archive(), p.entry(QStringLiteral("a.txt"))}));
    const QByteArray rotten = p.archiveBytes();
    QVERIFY(!archivecheck::unzipTest(p.archive().toStdString()));
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QCOMPARE(p.archiveBytes(), rotten);

    // Once the week is over it is, and the file, unchanged, gives its entry afresh.
    p.ageChecks(8);
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QByteArray log = p.lastLog();
    QVERIFY2(
        log.contains("Damaged entry of the previous archive: " + p.entry(QStringLiteral("a.txt")).toUtf8() +
                     ": taken again from " + p.file(QStringLiteral("a.txt")).toUtf8()),
        log.constData());
    QString why;
    QVERIFY2(everyReaderAccepts(p.archive(), &why), qPrintable(why));
    QCOMPARE(readByEveryReader(p.archive(), p.entry(QStringLiteral("a.txt"))), p.text);
}

void TestKeptArchiveChecks::rotInTheOnlyCopyOfADeletedFileIsKeptAside() {
    ProgramWithDocs p;
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(QFile::remove(p.file(QStringLiteral("a.txt"))));
    QVERIFY(edit({QStringLiteral("flip"), p.archive(), p.entry(QStringLiteral("a.txt"))}));
    const QByteArray onlyCopy = p.archiveBytes();
    p.dir.writeFile(QStringLiteral("data/Docs/b.txt"), "bee, changed");

    QCOMPARE(p.run(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    const QString aside = p.archive() + QStringLiteral(".damaged");
    QVERIFY2(
        log.contains("Damaged entry of the previous archive: " + p.entry(QStringLiteral("a.txt")).toUtf8() +
                     ": left out, its file is not in the list; the previous archive is kept as " +
                     aside.toUtf8()),
        log.constData());
    QCOMPARE(p.dir.readFile(QStringLiteral("backups/Quoralis.zip.damaged")), onlyCopy);
    QString why;
    QVERIFY2(everyReaderAccepts(p.archive(), &why), qPrintable(why));
    QCOMPARE(readByEveryReader(p.archive(), p.entry(QStringLiteral("b.txt"))), QByteArray("bee, changed"));
    QVERIFY(!InstalledProgram::entries(p.archive()).contains(p.entry(QStringLiteral("a.txt"))));
}

void TestKeptArchiveChecks::entriesThisProgramCannotRead_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("encrypted by zip -P") << QStringLiteral("encrypt") << QByteArray("encrypted");
    QTest::newRow("BZip2") << QStringLiteral("bzip2") << QByteArray("compression method 12");
    QTest::newRow("LZMA") << QStringLiteral("lzma") << QByteArray("compression method 14");
}

void TestKeptArchiveChecks::entriesThisProgramCannotRead() {
    QFETCH(QString, change);
    QFETCH(QByteArray, reason);
    ProgramWithDocs p;
    p.dir.writeFile(QStringLiteral("data/Docs/gone.txt"), "a file that will be deleted");
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    // Another tool writes the entries of an unchanged file and of one about to go its own way.
    for (const QString& name : {QStringLiteral("a.txt"), QStringLiteral("gone.txt")}) {
        if (change == QStringLiteral("encrypt")) {
            QProcess zip;
            zip.setWorkingDirectory(QStringLiteral("/"));
            zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-P"),
                                              QStringLiteral("secret"), p.archive(), p.entry(name)});
            QVERIFY(zip.waitForFinished(60000) && zip.exitCode() == 0);
        } else {
            QVERIFY(edit({QStringLiteral("recompress"), p.archive(), p.entry(name), change}));
        }
    }
    QVERIFY(QFile::remove(p.file(QStringLiteral("gone.txt"))));

    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains("Entry kept, not readable here: " + p.entry(QStringLiteral("gone.txt")).toUtf8() +
                          " (" + reason + ")"),
             log.constData());
    QVERIFY(!log.contains("Damaged"));
    // The unchanged file is taken again, readable by everyone; the other entry is kept as it was.
    QCOMPARE(readByEveryReader(p.archive(), p.entry(QStringLiteral("a.txt"))), p.text);
    const archivecheck::Listing listing = archivecheck::pythonListing(p.archive().toStdString());
    const archivecheck::Entry* kept = listing.find(p.entry(QStringLiteral("gone.txt")).toUtf8());
    QVERIFY(kept != nullptr);
    QVERIFY((kept->flags & 1) != 0 || (kept->method != 0 && kept->method != 8));

    // The program's own Verify does not call it damaged either.
    const std::atomic<bool> cancel{false};
    const ArchiveVerify::Result verified = ArchiveVerify::run(p.archive().toStdString(), {}, cancel);
    QVERIFY(verified.damaged.empty());
    QCOMPARE(verified.unreadable,
             std::vector<std::string>{p.entry(QStringLiteral("gone.txt")).toStdString()});
}

void TestKeptArchiveChecks::longNameThatIsNotUtf8StaysWithinWhatReadersAccept() {
    ProgramWithDocs p;
    // 255 bytes, the longest name a file may have here; 55 of them are no UTF-8.
    const std::string name = std::string(200, 'n') + std::string(55, '\xe9');
    const fs::path file = fs::path(p.file(QStringLiteral("latin1")).toStdString()) / name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "old bytes";
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));

    const archivecheck::Listing listing = archivecheck::pythonListing(p.archive().toStdString());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    for (const archivecheck::Entry& entry : listing.entries) {
        for (const QByteArray& part : entry.name.split('/'))
            QVERIFY2(part.size() <= 255, entry.name.constData());
    }
    for (const QString& tool : {QStringLiteral("unzip"), QStringLiteral("7z")}) {
        const QString into = p.dir.filePath(QStringLiteral("extracted-") + tool);
        QProcess extract;
        extract.start(tool, tool == QStringLiteral("unzip")
                                ? QStringList{QStringLiteral("-q"), p.archive(), QStringLiteral("-d"), into}
                                : QStringList{QStringLiteral("x"), QStringLiteral("-o") + into, p.archive()});
        QVERIFY(extract.waitForFinished(60000));
        QVERIFY2(extract.exitCode() == 0, extract.readAll().constData());
    }
    QString why;
    QVERIFY2(everyReaderAccepts(p.archive(), &why), qPrintable(why));
    // The program's own reader still gives the exact bytes of the name, which restore uses.
    ArchiveReader reader;
    QVERIFY(reader.open(p.archive().toStdString()));
    QVERIFY(reader.find(archivecheck::entryNameOf(file).toStdString()) >= 0);
}

QTEST_GUILESS_MAIN(TestKeptArchiveChecks)
#include "tst_keptarchivechecks.moc"
