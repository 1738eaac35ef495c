// Nothing is written outside the chosen folder, and no half file is left under a real name:
// hostile archives made by another tool, a cancel and a kill in the middle of a file.
#include "archivecheck.h"
#include "restorefixture.h"

#include <QProcess>
#include <QTest>

#include <ctime>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Entries as (name, content, unix mode or 0); a mode of 0o120777 makes a symbolic link entry.
const QString HostileScript =
    QStringLiteral("import sys, zipfile\n"
                   "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                   "    def put(name, data, mode=0):\n"
                   "        info = zipfile.ZipInfo(name)\n"
                   "        if mode:\n"
                   "            info.create_system = 3\n"
                   "            info.external_attr = mode << 16\n"
                   "        z.writestr(info, data)\n"
                   "    put('ok.txt', 'fine')\n"
                   "    put('../escaped.txt', 'out')\n"
                   "    put('sub/../../escaped2.txt', 'out')\n"
                   "    put('/tmp/absolute-restore-test.txt', 'out')\n"
                   "    put('uplink', '../..', 0o120777)\n"
                   "    put('uplink/planted.txt', 'through the link')\n"
                   "    put('inner/existing-link/planted.txt', 'through a link already there')\n"
                   "    put('dup.txt', 'first')\n"
                   "    import warnings; warnings.simplefilter('ignore')\n"
                   "    put('dup.txt', 'second')\n");

} // namespace

class RestoreSafetyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hostileNamesAndLinksWriteNothingOutside();
    void cancelInTheMiddleOfAFileLeavesNoFile();
    void killInTheMiddleOfAFileLeavesNoFile();
};

void RestoreSafetyTest::hostileNamesAndLinksWriteNothingOutside() {
    RestoreFixture f;
    const fs::path archive = f.root() / "hostile.zip";
    QVERIFY(RestoreFixture::python(HostileScript, {QString::fromStdString(archive.native())}));
    // The chosen folder sits deep enough that "../.." stays inside the temporary folder, and holds a
    // link to a folder outside it.
    const fs::path target = f.root() / "deep" / "target";
    const fs::path outside = f.root() / "outside";
    fs::create_directories(target / "inner");
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, target / "inner" / "existing-link");
    const QStringList before = RestoreFixture::filesBelow(f.root());

    const RestoreReport report = RestoreFixture::restoreAll(archive, target);
    QCOMPARE(RestoreFixture::problemNames(report, RestoreReport::Reason::UnsafeName),
             (QStringList{QStringLiteral("../escaped.txt"), QStringLiteral("/tmp/absolute-restore-test.txt"),
                          QStringLiteral("sub/../../escaped2.txt")}));
    QCOMPARE(RestoreFixture::problemNames(report, RestoreReport::Reason::Link),
             QStringList{QStringLiteral("uplink")});
    QCOMPARE(RestoreFixture::problemNames(report, RestoreReport::Reason::Duplicate),
             QStringList{QStringLiteral("dup.txt")});
    QCOMPARE(RestoreFixture::problemNames(report, RestoreReport::Reason::WriteFailed),
             QStringList{QStringLiteral("inner/existing-link/planted.txt")});
    QVERIFY(!fs::exists("/tmp/absolute-restore-test.txt"));
    QVERIFY(fs::is_empty(outside));
    QCOMPARE(EngineFixture::readAll(target / "dup.txt"), QByteArray("first"));
    QCOMPARE(EngineFixture::readAll(target / "ok.txt"), QByteArray("fine"));
    // Another tool's archive holds only the DOS time (local time; Python's default is 1980-01-01).
    std::tm dosDefault{};
    dosDefault.tm_year = 80;
    dosDefault.tm_mday = 1;
    dosDefault.tm_isdst = -1;
    QCOMPARE(RestoreFixture::mtimeNs(target / "ok.txt"), std::int64_t{std::mktime(&dosDefault)} * 1000000000);
    // "uplink" was refused, so the file below it lands in a real folder of that name.
    QVERIFY(!fs::is_symlink(target / "uplink"));
    QCOMPARE(EngineFixture::readAll(target / "uplink" / "planted.txt"), QByteArray("through the link"));
    // Outside the chosen folder nothing changed at all.
    QStringList after = RestoreFixture::filesBelow(f.root());
    after.removeIf([](const QString& p) { return p.startsWith(QStringLiteral("deep/target/")); });
    QStringList expected = before;
    expected.removeIf([](const QString& p) { return p.startsWith(QStringLiteral("deep/target/")); });
    QCOMPARE(after, expected);
}

void RestoreSafetyTest::cancelInTheMiddleOfAFileLeavesNoFile() {
    RestoreFixture f;
    const fs::path small = f.writeSource("a-small.txt", "small");
    const fs::path large = f.writeSource("b-large.bin", EngineFixture::noise(24 << 20, 9));
    const fs::path archive = f.backup({small, large}, "Quoralis.zip", 0);
    std::atomic<bool> cancel{false};
    RestoreFixture::Run run;
    run.cancel = &cancel;
    const std::string largeName = archivecheck::entryNameOf(large).toStdString();
    std::uint64_t doneWhenCancelled = 0;
    run.progress = [&](std::uint64_t done, std::uint64_t, std::string_view name) {
        // The first piece of the large file is written: cancel now.
        if (name == largeName && done > 5 && !cancel) {
            doneWhenCancelled = done;
            cancel = true;
        }
    };
    const fs::path target = f.root() / "restored";
    const RestoreReport report = RestoreFixture::restoreAll(archive, target, run);
    QVERIFY(report.cancelled);
    QVERIFY(doneWhenCancelled > 5 && doneWhenCancelled < (24u << 20));
    QCOMPARE(report.restoredFiles, 1u);
    QCOMPARE(RestoreFixture::filesBelow(target),
             QStringList{QString::fromUtf8(archivecheck::entryNameOf(small))});
}

void RestoreSafetyTest::killInTheMiddleOfAFileLeavesNoFile() {
    RestoreFixture f;
    const fs::path large = f.writeSource("large.bin", EngineFixture::noise(24 << 20, 10));
    const fs::path archive = f.backup({large}, "Quoralis.zip", 0);
    const fs::path target = f.root() / "restored";
    QProcess child;
    child.start(QStringLiteral(RESTORECHILD),
                {QString::fromStdString(archive.native()), QString::fromStdString(target.native())});
    QVERIFY(child.waitForStarted());
    // The child says when it has written part of the file, then waits.
    QVERIFY(child.waitForReadyRead(60000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("writing"));
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(RestoreFixture::filesBelow(target), QStringList());
}

QTEST_GUILESS_MAIN(RestoreSafetyTest)
#include "tst_restoresafety.moc"
