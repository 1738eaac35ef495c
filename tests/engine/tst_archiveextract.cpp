// Reading archives back: the extract engine's checks and the self-extracting stub.
#include "archivecheck.h"
#include "engine/archivecomponent.h"
#include "enginefixture.h"
#include "zipengine_api.h"

#include <QProcess>
#include <QTest>

#include <fstream>

namespace fs = std::filesystem;
using archivecheck::entryNameOf;

namespace {

// An archive with the given entry names, written by Python's zipfile (which writes any name).
bool writeWithPython(const fs::path& archive, const QStringList& names) {
    QStringList args = {QStringLiteral("-c"),
                        QStringLiteral("import sys, zipfile\n"
                                       "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                       "    for n in sys.argv[2:]:\n"
                                       "        z.writestr(zipfile.ZipInfo(n), 'content of ' + n)\n"),
                        QString::fromStdString(archive.native())};
    return QProcess::execute(QStringLiteral("/usr/bin/python3"), args + names) == 0;
}

} // namespace

class ArchiveExtractTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void unsafeNamesAreRefused();
    void linksInTheDestinationAreNotFollowed();
    void truncatedArchiveFailsTheTest();
    void selfExtractorUnpacksWhatIsAppended();
};

void ArchiveExtractTest::unsafeNamesAreRefused() {
    EngineFixture f;
    const fs::path archive = f.root() / "hostile.zip";
    QVERIFY(
        writeWithPython(archive, {"ok.txt", "../escaped.txt", "sub/../../escaped2.txt", "/absolute.txt"}));
    const fs::path dest = f.root() / "dest";
    QList<QPair<int, QString>> messages;
    connect(&f.zip(), &ArchiveComponent::OnMessage, this, [&](int code, const QString& text) {
        messages.append({code, text});
    });
    QCOMPARE(f.zip().ExtractArchive(archive, dest), int(ZE_ERR_UNSAFE_NAME));
    QCOMPARE(EngineFixture::readAll(dest / "ok.txt"), QByteArray("content of ok.txt"));
    QVERIFY(!fs::exists(f.root() / "escaped.txt"));
    QVERIFY(!fs::exists(f.root() / "escaped2.txt"));
    QVERIFY(!fs::exists("/absolute.txt"));
    const auto refused = std::count_if(messages.begin(), messages.end(),
                                       [](const auto& m) { return m.first == ZE_ERR_UNSAFE_NAME; });
    QCOMPARE(refused, 3);
    // Testing reads the data only; the names do not matter there.
    QCOMPARE(f.zip().TestArchive(archive), 0);
}

void ArchiveExtractTest::linksInTheDestinationAreNotFollowed() {
    EngineFixture f;
    const fs::path outside = f.root() / "outside";
    fs::create_directories(outside);
    const fs::path dest = f.root() / "dest";
    fs::create_directories(dest);
    fs::create_directory_symlink(outside, dest / "link");
    std::ofstream(outside / "victim.txt") << "keep";
    const fs::path archive = f.root() / "links.zip";
    QVERIFY(writeWithPython(archive, {"link/planted.txt", "link", "plain.txt"}));
    QVERIFY(f.zip().ExtractArchive(archive, dest) != 0);
    QVERIFY(!fs::exists(outside / "planted.txt"));
    QCOMPARE(EngineFixture::readAll(outside / "victim.txt"), QByteArray("keep"));
    QVERIFY(fs::is_symlink(dest / "link")); // not replaced by a file either
    QCOMPARE(EngineFixture::readAll(dest / "plain.txt"), QByteArray("content of plain.txt"));
}

void ArchiveExtractTest::truncatedArchiveFailsTheTest() {
    EngineFixture f;
    const fs::path a = f.writeSource("a.txt", EngineFixture::text(200000));
    QCOMPARE(f.add({a}, ArchiveComponent::AddDirNames), 0);
    const auto size = fs::file_size(f.archivePath());
    fs::resize_file(f.archivePath(), size - 30);
    QVERIFY(f.zip().TestArchive(f.archivePath()) != 0);
    QVERIFY2(f.zip().ErrorText().contains(QString::fromStdString(f.archivePath().native())),
             qPrintable(f.zip().ErrorText()));
    QVERIFY(f.zip().TestArchive(f.root() / "no-such.zip") != 0);
}

void ArchiveExtractTest::selfExtractorUnpacksWhatIsAppended() {
    EngineFixture f;
    const fs::path a = f.writeSource("docs/a.txt", EngineFixture::text(100000, 1));
    const fs::path b = f.writeSource("b \xe9.bin", EngineFixture::noise(3 << 20, 2));
    QCOMPARE(f.add({a, b}, ArchiveComponent::AddDirNames), 0);

    const fs::path sfx = f.root() / "backup.run";
    {
        std::ofstream out(sfx, std::ios::binary);
        const QByteArray stub = EngineFixture::readAll(f.engineDir() / "dzsfxus.bin");
        const QByteArray archive = EngineFixture::readAll(f.archivePath());
        QVERIFY(!stub.isEmpty());
        out.write(stub.constData(), stub.size());
        out.write(archive.constData(), archive.size());
    }
    fs::permissions(sfx, fs::perms::owner_all);

    const fs::path into = f.root() / "unpacked";
    QProcess run;
    run.start(QString::fromStdString(sfx.native()), {QString::fromStdString(into.native())});
    QVERIFY(run.waitForFinished(60000));
    QVERIFY2(run.exitCode() == 0, run.readAll().constData());
    QCOMPARE(EngineFixture::readAll(into / entryNameOf(a).toStdString()), EngineFixture::readAll(a));
    QCOMPARE(EngineFixture::readAll(into / entryNameOf(b).toStdString()), EngineFixture::readAll(b));

    // Without an argument it unpacks into the current folder.
    const fs::path here = f.root() / "here";
    fs::create_directories(here);
    run.setWorkingDirectory(QString::fromStdString(here.native()));
    run.start(QString::fromStdString(sfx.native()), {});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 0);
    QVERIFY(fs::exists(here / entryNameOf(a).toStdString()));

    // The stub alone holds no archive and says so.
    run.start(QString::fromStdString((f.engineDir() / "dzsfxus.bin").native()),
              {QString::fromStdString(into.native())});
    QVERIFY(run.waitForFinished(60000));
    QVERIFY(run.exitCode() != 0);
}

QTEST_GUILESS_MAIN(ArchiveExtractTest)
#include "tst_archiveextract.moc"
