// Changed files only into an archive updated in place: what the files' marks for this archive
// tell the engine.
#include "archivecheck.h"
#include "engine/archivecomponent.h"
#include "enginefixture.h"
#include "platform/fileattributes.h"

#include <QTest>
#include <QThread>

#include <fstream>

namespace fs = std::filesystem;

namespace {

const platform::ArchiveMark thisArchive{"00000000000000aa", 1};
constexpr int ChangedOnlyUpdate = ArchiveComponent::AddDirNames | ArchiveComponent::AddUpdate |
                                  ArchiveComponent::AddResetArchive | ArchiveComponent::AddUnchangedKept;

// A file touched within a few milliseconds before the archiver began reading may have changed
// after the read and is never marked, and a change a fraction of a millisecond after a mark was
// written is not told from the write of the mark: the changes of these tests are further apart.
void letChangeTimesSettle() {
    QThread::msleep(50);
}

bool marked(const fs::path& file) {
    return platform::FileAttributes::archiveState(file, thisArchive) ==
           platform::FileAttributes::ArchiveState::Unchanged;
}

QByteArray contentOf(EngineFixture& f, const fs::path& file) {
    const fs::path out = f.root() / "extracted";
    fs::remove_all(out);
    if (f.zip().ExtractArchive(f.archivePath(), out) != 0)
        return QByteArray("<extract failed>");
    return EngineFixture::readAll(out / archivecheck::entryNameOf(file).toStdString());
}

} // namespace

class ChangedOnlyUpdateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rewriteKeepingSizeAndTimeIsWrittenAnew();
    void marksOfAnotherEpochAreNoProofOfAnything();
};

void ChangedOnlyUpdateTest::rewriteKeepingSizeAndTimeIsWrittenAnew() {
    EngineFixture f;
    const fs::path notes = f.writeSource("notes.txt", "version one");
    const fs::path other = f.writeSource("other.txt", "never changes");
    EngineFixture::setMtime(notes, 1600000000);
    EngineFixture::setMtime(other, 1600000000);
    letChangeTimesSettle();
    f.zip().Mark = thisArchive;
    QCOMPARE(f.add({notes, other}, ChangedOnlyUpdate), 0);
    if (!marked(notes))
        QSKIP("this file system keeps no extended attributes");

    letChangeTimesSettle();
    f.writeSource("notes.txt", "version two");
    EngineFixture::setMtime(notes, 1600000000);
    QVERIFY(!marked(notes));
    QVERIFY(marked(other));
    letChangeTimesSettle();
    QCOMPARE(f.add({notes, other}, ChangedOnlyUpdate), 0);
    QCOMPARE(f.zip().WrittenCount(), std::size_t{1});
    QCOMPARE(contentOf(f, notes), QByteArray("version two"));
    QCOMPARE(contentOf(f, other), QByteArray("never changes"));
    QVERIFY(marked(notes));
    f.verifyArchive(f.archivePath());
}

// An older copy of the archive put back holds other bytes under the same size and time; the run
// that finds it begins a new epoch, in which no mark of the old one keeps an entry.
void ChangedOnlyUpdateTest::marksOfAnotherEpochAreNoProofOfAnything() {
    EngineFixture f;
    const fs::path notes = f.writeSource("notes.txt", "version one");
    EngineFixture::setMtime(notes, 1600000000);
    letChangeTimesSettle();
    f.zip().Mark = thisArchive;
    QCOMPARE(f.add({notes}, ChangedOnlyUpdate), 0);
    if (!marked(notes))
        QSKIP("this file system keeps no extended attributes");
    const QByteArray older = EngineFixture::readAll(f.archivePath());

    letChangeTimesSettle();
    f.writeSource("notes.txt", "version two");
    EngineFixture::setMtime(notes, 1600000000);
    letChangeTimesSettle();
    QCOMPARE(f.add({notes}, ChangedOnlyUpdate), 0);
    QVERIFY(marked(notes));
    {
        std::ofstream putBack(f.archivePath(), std::ios::binary | std::ios::trunc);
        putBack.write(older.constData(), older.size());
    }
    f.zip().Mark = {thisArchive.series, thisArchive.epoch + 1};
    QCOMPARE(f.add({notes}, ChangedOnlyUpdate), 0);
    QCOMPARE(f.zip().WrittenCount(), std::size_t{1});
    QCOMPARE(contentOf(f, notes), QByteArray("version two"));
}

QTEST_GUILESS_MAIN(ChangedOnlyUpdateTest)
#include "tst_changedonlyupdate.moc"
