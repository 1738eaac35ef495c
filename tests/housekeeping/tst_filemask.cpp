#include "housekeeping/filemask.h"

#include <QTest>

#include <string>

Q_DECLARE_METATYPE(std::string)

// Which names a file-name mask takes: case never matters, and names stay bytes.
class FileMaskTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void matches_data() {
        QTest::addColumn<std::string>("mask");
        QTest::addColumn<std::string>("name");
        QTest::addColumn<bool>("matched");
        QTest::newRow("plain") << std::string("*.zip") << std::string("backup.zip") << true;
        QTest::newRow("upper-case name") << std::string("*.zip") << std::string("OLD.ZIP") << true;
        QTest::newRow("upper-case mask") << std::string("*.TXT") << std::string("log.txt") << true;
        QTest::newRow("extension is not last") << std::string("*.zip") << std::string("a.zip.part") << false;
        QTest::newRow("no dot") << std::string("*.zip") << std::string("zip") << false;
        QTest::newRow("star takes nothing") << std::string("*.zip") << std::string(".zip") << true;
        QTest::newRow("star takes a dot run") << std::string("*.txt") << std::string("a.b.c.txt") << true;
        QTest::newRow("several stars") << std::string("a*b*c") << std::string("aXXbYc") << true;
        QTest::newRow("several stars, end missing") << std::string("a*b*c") << std::string("aXXbY") << false;
        QTest::newRow("star needs going back") << std::string("*ab") << std::string("aab") << true;
        QTest::newRow("name holds a star") << std::string("*a") << std::string("*ba") << true;
        QTest::newRow("question mark is one character")
            << std::string("?.txt") << std::string("ab.txt") << false;
        QTest::newRow("question mark on two bytes")
            << std::string("?.txt") << std::string("\xc3\xa4.txt") << true;
        QTest::newRow("unicode case") << std::string("\xc3\xa4*") << std::string("\xc3\x84rger.txt") << true;
        QTest::newRow("not utf-8, ascii folded")
            << std::string("*.txt") << std::string("old\xff.TXT") << true;
        QTest::newRow("not utf-8 differs") << std::string("old\xfe*") << std::string("old\xff.txt") << false;
        QTest::newRow("empty name") << std::string("*.txt") << std::string() << false;
    }
    void matches() {
        QFETCH(std::string, mask);
        QFETCH(std::string, name);
        QFETCH(bool, matched);
        QCOMPARE(FileMask(mask).matches(name), matched);
    }
};

QTEST_GUILESS_MAIN(FileMaskTest)
#include "tst_filemask.moc"
