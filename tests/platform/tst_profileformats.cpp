// Settings files as other editors leave them: byte-order marks, every kind of line end, text
// in a wide encoding, and long lists.
#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "testprogramdir.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sys/stat.h>

using platform::ProfileBatch;
using platform::ProfileFile;

namespace {

const QByteArray bom = "\xEF\xBB\xBF";

QByteArray utf16(const QByteArray& ascii, bool bigEndian) {
    QByteArray wide;
    for (const char c : ascii)
        wide += bigEndian ? QByteArray(1, '\0') + c : c + QByteArray(1, '\0');
    return wide;
}

QByteArray utf32LittleEndian(const QByteArray& ascii) {
    QByteArray wide;
    for (const char c : ascii)
        wide += c + QByteArray(3, '\0');
    return wide;
}

std::filesystem::path fsPath(const QString& path) {
    return ProfileFile::pathFromText(path);
}

} // namespace

class ProfileFormatsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void byteOrderMarkIsSkippedAndKept_data();
    void byteOrderMarkIsSkippedAndKept();
    void everyLineEndIsRead_data();
    void everyLineEndIsRead();
    void newLinesTakeTheFilesLineEnd_data();
    void newLinesTakeTheFilesLineEnd();

    void wideTextIsSetAsideNotOverwritten_data();
    void wideTextIsSetAsideNotOverwritten();
    void setAsideNeverOverwritesAnEarlierOne();
    void setAsideThroughSingleWritesAndLinks();
    void wideTextWithoutWritesStaysUntouched();
    void binaryIsSetAsideNotOverwritten_data();
    void binaryIsSetAsideNotOverwritten();
    void textWithOddBytesIsReadAndEditedInPlace_data();
    void textWithOddBytesIsReadAndEditedInPlace();
    void laterSectionsOfANameAreOnlyListed();

    void longListsKeepEveryOtherSection();
};

void ProfileFormatsTest::byteOrderMarkIsSkippedAndKept_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("lf") << QByteArray("\n");
    QTest::newRow("crlf") << QByteArray("\r\n");
}

void ProfileFormatsTest::byteOrderMarkIsSkippedAndKept() {
    QFETCH(QByteArray, lineEnd);
    TestProgramDir dir;
    const QByteArray before = bom + "[settings]" + lineEnd + "width=500" + lineEnd;
    ProfileBatch batch(dir.writeFile(QStringLiteral("a.ini"), before));
    QCOMPARE(batch.readInteger("settings", "width", 420), 500);
    QCOMPARE(batch.readKeys("Settings"), QList<QByteArray>{"width"});
    QVERIFY(!batch.isUnreadable());
    batch.writeInteger("settings", "width", 600);
    batch.writeInteger("settings", "height", 300);
    batch.commit();
    // One settings section, the mark still in front.
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")),
             bom + "[settings]" + lineEnd + "width=600" + lineEnd + "height=300" + lineEnd);
}

void ProfileFormatsTest::everyLineEndIsRead_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("cr") << QByteArray("; note\r[settings]\rx=5\r[folders]\rfolder_0=/a\r");
    QTest::newRow("cr, no final end") << QByteArray("; note\r[settings]\rx=5\r[folders]\rfolder_0=/a");
    QTest::newRow("lf") << QByteArray("; note\n[settings]\nx=5\n[folders]\nfolder_0=/a\n");
    QTest::newRow("crlf") << QByteArray("; note\r\n[settings]\r\nx=5\r\n[folders]\r\nfolder_0=/a\r\n");
    QTest::newRow("mixed") << QByteArray("; note\r[settings]\r\nx=5\n[folders]\rfolder_0=/a\n");
    QTest::newRow("cr with mark") << bom + "[settings]\rx=5\r[folders]\rfolder_0=/a\r";
}

void ProfileFormatsTest::everyLineEndIsRead() {
    QFETCH(QByteArray, content);
    TestProgramDir dir;
    const ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), content));
    QCOMPARE(file.readInteger("settings", "x", 0), 5);
    QCOMPARE(file.readString("folders", "folder_0", ""), QByteArray("/a"));
    QCOMPARE(file.readKeys("settings"), QList<QByteArray>{"x"});
}

void ProfileFormatsTest::newLinesTakeTheFilesLineEnd_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    // A file keeps the line end of its first line for the lines a save adds; the lines it
    // had keep their own.
    QTest::newRow("cr") << QByteArray("[s]\rk=1\r") << QByteArray("[s]\rk=2\rj=3\r[t]\ri=4\r");
    QTest::newRow("cr, no final end") << QByteArray("[s]\rk=1") << QByteArray("[s]\rk=2\rj=3\r[t]\ri=4\r");
    QTest::newRow("crlf") << QByteArray("[s]\r\nk=1\r\n")
                          << QByteArray("[s]\r\nk=2\r\nj=3\r\n[t]\r\ni=4\r\n");
    QTest::newRow("mixed, cr first") << QByteArray("[s]\rk=1\n") << QByteArray("[s]\rk=2\nj=3\r[t]\ri=4\r");
    QTest::newRow("mixed, lf first") << QByteArray("[s]\nk=1\r") << QByteArray("[s]\nk=2\rj=3\n[t]\ni=4\n");
}

void ProfileFormatsTest::newLinesTakeTheFilesLineEnd() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TestProgramDir dir;
    ProfileBatch batch(dir.writeFile(QStringLiteral("a.ini"), before));
    batch.writeString("s", "k", "2");
    batch.writeString("s", "j", "3");
    batch.writeString("t", "i", "4");
    batch.commit();
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")), after);
}

void ProfileFormatsTest::wideTextIsSetAsideNotOverwritten_data() {
    QTest::addColumn<QByteArray>("content");
    const QByteArray text = "[settings]\r\nwidth=500\r\n[folders]\r\nfolder_0=C:\\Data\r\n";
    QTest::newRow("utf-16le with mark") << "\xFF\xFE" + utf16(text, false);
    QTest::newRow("utf-16be with mark") << "\xFE\xFF" + utf16(text, true);
    QTest::newRow("utf-16le without mark") << utf16(text, false);
    QTest::newRow("utf-16be without mark") << utf16(text, true);
    QTest::newRow("utf-32le with mark") << QByteArray("\xFF\xFE\0\0", 4) + utf32LittleEndian(text);
    QTest::newRow("utf-32le without mark") << utf32LittleEndian(text);
}

void ProfileFormatsTest::wideTextIsSetAsideNotOverwritten() {
    QFETCH(QByteArray, content);
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("Quoralis2005Config.ini"), content);
    {
        ProfileBatch batch(path);
        QVERIFY(batch.isUnreadable());
        QCOMPARE(batch.readInteger("settings", "width", 420), 420);
        QVERIFY(batch.readKeys("folders").isEmpty());
        batch.writeInteger("settings", "width", 490);
        batch.commit();
        QCOMPARE(batch.setAsidePath(), fsPath(path + QStringLiteral(".unreadable")));
    }
    QCOMPARE(dir.readFile(QStringLiteral("Quoralis2005Config.ini.unreadable")), content);
    QCOMPARE(dir.readFile(QStringLiteral("Quoralis2005Config.ini")), QByteArray("[settings]\nwidth=490\n"));
    // The new file is an ordinary one: the next save writes it in place.
    ProfileBatch next(path);
    QVERIFY(!next.isUnreadable());
    next.writeInteger("settings", "height", 330);
    next.commit();
    QVERIFY(next.setAsidePath().empty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void ProfileFormatsTest::setAsideNeverOverwritesAnEarlierOne() {
    TestProgramDir dir;
    const QByteArray wide = "\xFF\xFE" + utf16("[s]\r\nk=1\r\n", false);
    const QString path = dir.writeFile(QStringLiteral("a.ini"), wide);
    dir.writeFile(QStringLiteral("a.ini.unreadable"), "first");
    dir.writeFile(QStringLiteral("a.ini.unreadable.2"), "second");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    ProfileBatch batch(path);
    batch.writeInteger("s", "k", 2);
    batch.commit();
    QCOMPARE(batch.setAsidePath(), fsPath(path + QStringLiteral(".unreadable.3")));
    QCOMPARE(dir.readFile(QStringLiteral("a.ini.unreadable")), QByteArray("first"));
    QCOMPARE(dir.readFile(QStringLiteral("a.ini.unreadable.2")), QByteArray("second"));
    QCOMPARE(dir.readFile(QStringLiteral("a.ini.unreadable.3")), wide);
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")), QByteArray("[s]\nk=2\n"));
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0640)); // the new file is as private as the old one
}

void ProfileFormatsTest::setAsideThroughSingleWritesAndLinks() {
    // Through a link the file it points to is set aside beside itself; the link stays and
    // leads to the new file.
    TestProgramDir dir;
    const QByteArray wide = "\xFE\xFF" + utf16("[s]\nk=1\n", true);
    dir.writeFile(QStringLiteral("real/a.ini"), wide);
    QVERIFY(QFile::link(QStringLiteral("real/a.ini"), dir.filePath(QStringLiteral("link.ini"))));
    ProfileFile file(dir.filePath(QStringLiteral("link.ini")));
    file.writeInteger("s", "k", 2);
    QCOMPARE(file.setAsidePath(), fsPath(dir.filePath(QStringLiteral("real/a.ini.unreadable"))));
    QCOMPARE(dir.readFile(QStringLiteral("real/a.ini.unreadable")), wide);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link.ini"))).isSymLink());
    QCOMPARE(dir.readFile(QStringLiteral("real/a.ini")), QByteArray("[s]\nk=2\n"));
    file.writeInteger("s", "k", 3);
    QVERIFY(file.setAsidePath().empty());
    QCOMPARE(file.readInteger("s", "k", 0), 3);
}

void ProfileFormatsTest::wideTextWithoutWritesStaysUntouched() {
    TestProgramDir dir;
    const QByteArray wide = "\xFF\xFE" + utf16("[folders]\r\nfolder_0=x\r\n", false);
    const QString path = dir.writeFile(QStringLiteral("a.ini"), wide);
    ProfileBatch batch(path);
    batch.eraseSection("folders"); // nothing to erase in what could be read
    batch.commit();
    ProfileFile(path).eraseSection("folders");
    QVERIFY(batch.setAsidePath().empty());
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")), wide);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.ini")});
}

void ProfileFormatsTest::binaryIsSetAsideNotOverwritten_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(2005);
    for (char& c : random)
        c = char(generator.bounded(256));
    // Random bytes that happen to hold section and key lines are still binary.
    QTest::newRow("random bytes") << random;
    QTest::newRow("random bytes around settings")
        << random.left(300) + "\n[settings]\nwidth=500\n" + random.mid(300, 300);
    QTest::newRow("nul bytes") << QByteArray(4096, '\0');
    QTest::newRow("settings then nul bytes") << "[settings]\nwidth=500\n" + QByteArray(100, '\0');
}

void ProfileFormatsTest::binaryIsSetAsideNotOverwritten() {
    QFETCH(QByteArray, content);
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("Quoralis2005Config.ini"), content);
    ProfileBatch batch(path);
    QVERIFY(batch.isUnreadable());
    QCOMPARE(batch.readInteger("settings", "width", 420), 420);
    batch.writeInteger("settings", "width", 490);
    batch.commit();
    QCOMPARE(batch.setAsidePath(), fsPath(path + QStringLiteral(".unreadable")));
    QCOMPARE(dir.readFile(QStringLiteral("Quoralis2005Config.ini.unreadable")), content);
    QCOMPARE(dir.readFile(QStringLiteral("Quoralis2005Config.ini")), QByteArray("[settings]\nwidth=490\n"));
}

void ProfileFormatsTest::textWithOddBytesIsReadAndEditedInPlace_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("folder");
    // Hand-edited in Latin-1: every accented letter is invalid UTF-8.
    QTest::newRow("latin-1") << QByteArray("; R\xE9glages \xE0 la main\r\n[settings]\r\nwidth=500\r\n"
                                           "[folders]\r\nfolder_count=1\r\nfolder_0=C:\\Donn\xE9"
                                           "es\r\n"
                                           "folder_1=D:\\Photos \xE9t\xE9\r\n")
                             << QByteArray("C:\\Donn\xE9"
                                           "es");
    // A folder name that is not UTF-8 is stored as its own bytes.
    QTest::newRow("path bytes") << QByteArray("[settings]\nwidth=500\n[folders]\nfolder_count=0\n"
                                              "folder_0=/srv/\xFF\xFE\x80\xC0/old\n")
                                << QByteArray("/srv/\xFF\xFE\x80\xC0/old");
    // A name may even hold control characters; a few of them are no sign of a binary file.
    QTest::newRow("control character in a name")
        << QByteArray("[settings]\nwidth=500\nkeep_log=1\nmulti_archive=0\n[folders]\nfolder_count=0\n"
                      "folder_0=/home/user/odd\x01\x1B name\n")
        << QByteArray("/home/user/odd\x01\x1B name");
}

void ProfileFormatsTest::textWithOddBytesIsReadAndEditedInPlace() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, folder);
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("a.ini"), content);
    ProfileBatch batch(path);
    QVERIFY(!batch.isUnreadable());
    QCOMPARE(batch.readInteger("settings", "width", 420), 500);
    QCOMPARE(batch.readString("folders", "folder_0", ""), folder);
    batch.writeInteger("settings", "height", 300);
    batch.commit();
    QVERIFY(batch.setAsidePath().empty());
    const QByteArray after = dir.readFile(QStringLiteral("a.ini"));
    QVERIFY(after.contains(folder));
    QVERIFY(after.contains("height=300"));
    QCOMPARE(after.size(), content.size() + qsizetype(after.contains("\r\n") ? 12 : 11));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.ini")});
}

void ProfileFormatsTest::laterSectionsOfANameAreOnlyListed() {
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("a.ini"), "[s]\nk=1\n[t]\nk=9\n[ S ]\nk=2\nj=3\n; c\n"
                                                                "[s]\nm = \"4\" \n[t]\n");
    ProfileBatch batch(path);
    QCOMPARE(batch.readString("s", "k", ""), QByteArray("1"));
    QCOMPARE(batch.readString("s", "j", ""), QByteArray());
    QCOMPARE(batch.readKeys("s"), QList<QByteArray>{"k"});
    using Entries = QList<std::pair<QByteArray, QByteArray>>;
    QCOMPARE(batch.readLaterSectionEntries("S"), Entries({{"k", "2"}, {"j", "3"}, {"m", "4"}}));
    QCOMPARE(batch.readLaterSectionEntries("t"), Entries());
    QCOMPARE(batch.readLaterSectionEntries("none"), Entries());
}

void ProfileFormatsTest::longListsKeepEveryOtherSection() {
    // A list grows inside a section that other sections follow; every lookup must still find
    // its own line as lines are added before the later sections.
    TestProgramDir dir;
    const QString path = dir.writeFile(
        QStringLiteral("a.ini"), "[settings]\nx=1\n[folders]\nfolder_0=old\n\n[stats]\ntotal_backups=5\n");
    const int count = 3000;
    const auto folder = [](int i) {
        return "/data/folder " + QByteArray::number(i);
    };
    {
        ProfileBatch batch(path);
        for (int i = 0; i < count; ++i)
            batch.writeString("FOLDERS", "folder_" + QByteArray::number(i), folder(i));
        batch.writeInteger("settings", "y", 2);
        batch.writeInteger("stats", "total_backups", 6);
        for (int i = 0; i < count; ++i)
            QCOMPARE(batch.readString("folders", "Folder_" + QByteArray::number(i), ""), folder(i));
        batch.commit();
    }
    const ProfileBatch reread(path);
    const QList<QByteArray> keys = reread.readKeys("folders");
    QCOMPARE(keys.size(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(keys[i], "folder_" + QByteArray::number(i));
        QCOMPARE(reread.readString("folders", keys[i], ""), folder(i));
    }
    QCOMPARE(reread.readInteger("settings", "x", 0), 1);
    QCOMPARE(reread.readInteger("settings", "y", 0), 2);
    QCOMPARE(reread.readInteger("stats", "total_backups", 0), 6);
    const QByteArray text = dir.readFile(QStringLiteral("a.ini"));
    QVERIFY(text.startsWith("[settings]\nx=1\ny=2\n[folders]\nfolder_0=" + folder(0) + "\nfolder_1="));
    QVERIFY(text.endsWith("folder_2999=" + folder(2999) + "\n\n[stats]\ntotal_backups=6\n"));
}

QTEST_GUILESS_MAIN(ProfileFormatsTest)
#include "tst_profileformats.moc"
