#include "platform/pathlist.h"

#include <QTest>

#include <cstring>
#include <string>

// The compact list of file paths a backup is made from.
class TestPathList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pathsSurviveGrowthAcrossBlocks();
    void copiesAndAppendsAreDeep();
};

void TestPathList::pathsSurviveGrowthAcrossBlocks() {
    PathList list;
    std::vector<std::string> expected;
    // Enough paths to fill several blocks, one longer than a block, and bytes that are no UTF-8.
    for (int i = 0; i < 30000; ++i)
        expected.push_back("/data/folder " + std::to_string(i) + "/\xff\xfe file.txt");
    expected.insert(expected.begin() + 7, std::string(3 << 20, 'x'));
    for (const std::string& path : expected)
        list.push_back(path);
    QCOMPARE(list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(list.view(i), std::string_view(expected[i]));
        QCOMPARE(std::strlen(list.data()[i]), expected[i].size());
    }
    QCOMPARE(list.path(7).native(), expected[7]);
    list.clear();
    QVERIFY(list.empty());
}

void TestPathList::copiesAndAppendsAreDeep() {
    PathList a{"/a/1", "/a/2"};
    PathList b = a;
    b.push_back(std::string("/b/3"));
    QCOMPARE(a.size(), std::size_t(2));
    PathList moved = std::move(b);
    const char* first = moved.c_str(0);
    a.append(moved);
    QVERIFY(a == (PathList{"/a/1", "/a/2", "/a/1", "/a/2", "/b/3"}));
    // Moving keeps the bytes where they are: the engine may hold pointers into them.
    PathList again = std::move(moved);
    QCOMPARE(again.c_str(0), first);
}

QTEST_MAIN(TestPathList)
#include "tst_pathlist.moc"
