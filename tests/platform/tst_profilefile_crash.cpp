#include "platform/profilefile.h"
#include "testprogramdir.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>

using platform::ProfileFile;

// A writer killed at random moments must always leave a complete settings file behind.
class ProfileFileCrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedWriterLeavesCompleteFile();
    void killedBatchLeavesAllKeysOldOrAllNew();
};

namespace {

const QByteArray filler(20000, 'f');

QByteArray initialContent() {
    return "; settings of the crash test\r\n"
           "[settings]\r\n"
           "width=420\r\n"
           "filler=" +
           filler +
           "\r\n"
           "[state]\r\n"
           "counter=0\r\n"
           "mirror=0\r\n"
           "[folders]\r\n"
           "folder_0=/home/user/Documents\r\n";
}

QStringList temporaries(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".settings.ini.tmp-*")}, QDir::Files | QDir::Hidden);
}

} // namespace

void ProfileFileCrashTest::killedWriterLeavesCompleteFile() {
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("settings.ini"), initialContent());
    const ProfileFile file(path);
    QRandomGenerator generator(QRandomGenerator::global()->generate());
    int lastCounter = 0;
    int killsDuringWrites = 0;
    const int runs = 40;
    for (int run = 0; run < runs; ++run) {
        QProcess writer;
        writer.start(QStringLiteral(PROFILE_WRITER_HELPER), {path});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QThread::msleep(20 + generator.bounded(120));
        QVERIFY2(writer.state() == QProcess::Running, writer.readAllStandardError().constData());
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished());

        const QByteArray content = dir.readFile(QStringLiteral("settings.ini"));
        QVERIFY2(content.startsWith("; settings of the crash test\r\n"), "file lost its head");
        QVERIFY2(content.endsWith("folder_0=/home/user/Documents\r\n"), "file truncated");
        QVERIFY2(content.contains("\r\nfiller=" + filler + "\r\n"), "filler damaged");
        QCOMPARE(file.readInteger("settings", "width", 0), 420);
        const int counter = file.readInteger("state", "counter", -1);
        const int mirror = file.readInteger("state", "mirror", -1);
        QVERIFY2(counter >= lastCounter, "a later state went back to an earlier one");
        QVERIFY2(mirror == counter || mirror == counter - 1,
                 qPrintable(QStringLiteral("counter %1, mirror %2").arg(counter).arg(mirror)));
        if (mirror != counter)
            ++killsDuringWrites;
        lastCounter = counter;
        // Each kill may leave the temporary of the write it interrupted (and one that a kill
        // right after a rename kept from being removed); completed writes leave none.
        QVERIFY2(temporaries(dir.path()).size() <= run + 1, qPrintable(temporaries(dir.path()).join(u' ')));
    }
    qInfo("%d kills, %d writes survived, %d kills between the two keys", runs, lastCounter,
          killsDuringWrites);
    QVERIFY2(lastCounter > runs, "the writer hardly wrote: the kills tested nothing");

    ProfileFile(path).writeInteger("state", "counter", lastCounter + 1);
    QVERIFY(temporaries(dir.path()).isEmpty());
}

void ProfileFileCrashTest::killedBatchLeavesAllKeysOldOrAllNew() {
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("settings.ini"), initialContent());
    QRandomGenerator generator(QRandomGenerator::global()->generate());
    int last = 0;
    for (int run = 0; run < 30; ++run) {
        QProcess writer;
        writer.start(QStringLiteral(PROFILE_WRITER_HELPER), {path, QStringLiteral("batch")});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QThread::msleep(20 + generator.bounded(120));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished());

        const QByteArray content = dir.readFile(QStringLiteral("settings.ini"));
        QVERIFY2(content.startsWith("; settings of the crash test\r\n"), "file lost its head");
        QVERIFY2(content.contains("\r\nfiller=" + filler + "\r\n"), "filler damaged");
        QVERIFY2(content.contains("folder_0=/home/user/Documents\r\n"), "another section lost");
        const ProfileFile file(path);
        const int first = file.readInteger("many", "key_0", 0);
        for (int i = 1; i < 40; ++i)
            QCOMPARE(file.readInteger("many", "key_" + QByteArray::number(i), 0), first);
        QVERIFY(first >= last);
        last = first;
    }
    QVERIFY2(last > 30, "the writer hardly wrote: the kills tested nothing");
}

QTEST_GUILESS_MAIN(ProfileFileCrashTest)
#include "tst_profilefile_crash.moc"
