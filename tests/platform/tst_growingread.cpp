#include "platform/growingread.h"

#include <QTest>

#include <cstring>
#include <functional>
#include <string>

namespace {

// Behaves as the system's profile reader: a list of names is stored NUL-ended with one more NUL
// after the last; what does not fit is cut, and the call returns size - 2 (size - 1 for a value).
// Otherwise it returns the characters stored, the last NUL not counted.
struct ProfileReaderStandIn {
    std::string text;
    bool list = true;
    int calls = 0;

    std::size_t operator()(char* buffer, std::size_t size) {
        ++calls;
        const std::size_t terminators = list ? 2 : 1;
        if (text.size() + terminators <= size) {
            std::memcpy(buffer, text.data(), text.size());
            std::memset(buffer + text.size(), 0, terminators);
            return text.size();
        }
        const std::size_t kept = size - terminators;
        std::memcpy(buffer, text.data(), kept);
        std::memset(buffer + kept, 0, terminators);
        return kept;
    }
};

std::string nameList(int count, const std::string& stem) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += stem + std::to_string(i) + '\0';
    return text;
}

QByteArray readWhole(const std::function<std::size_t(char*, std::size_t)>& read, std::size_t truncatedMargin,
                     std::size_t initialSize = 32768) {
    return QByteArray::fromStdString(platform::readUntilWhole(read, truncatedMargin, initialSize));
}

} // namespace

// Reading a section's key list or a long value from the system's profile reader.
class TestGrowingRead : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsLongerThanTheFirstBufferArriveWhole();
    void listsThatFitTakeOneRead();
    void valuesUseTheirOwnMargin();
};

void TestGrowingRead::listsLongerThanTheFirstBufferArriveWhole() {
    // Thousands of listed folders, far more than a 32 KiB buffer holds.
    for (const int count : {5000, 20000}) {
        ProfileReaderStandIn reader{nameList(count, "Folder")};
        const QByteArray read = readWhole(std::ref(reader), 2);
        QVERIFY(read.endsWith('\0'));
        const QList<QByteArray> names = read.chopped(1).split('\0');
        QCOMPARE(names.size(), count);
        QCOMPARE(names.first(), QByteArray("Folder0"));
        QCOMPARE(names.last(), QByteArray("Folder" + QByteArray::number(count - 1)));
        QVERIFY(reader.calls > 1);
    }
    // A list that would fit exactly in the first buffer is indistinguishable from a cut one.
    std::string exact(32768 - 3, 'k');
    exact += '\0';
    ProfileReaderStandIn reader{exact};
    QCOMPARE(readWhole(std::ref(reader), 2, 32768), QByteArray::fromStdString(exact));
    QCOMPARE(reader.calls, 2);
}

void TestGrowingRead::listsThatFitTakeOneRead() {
    ProfileReaderStandIn reader{nameList(3, "Type")};
    QCOMPARE(readWhole(std::ref(reader), 2), QByteArray("Type0\0Type1\0Type2\0", 18));
    QCOMPARE(reader.calls, 1);

    ProfileReaderStandIn empty{std::string()};
    QCOMPARE(readWhole(std::ref(empty), 2), QByteArray());
    QCOMPARE(empty.calls, 1);
}

void TestGrowingRead::valuesUseTheirOwnMargin() {
    const std::string value(5000, 'v');
    ProfileReaderStandIn reader{value, false};
    QCOMPARE(readWhole(std::ref(reader), 1, 2048), QByteArray::fromStdString(value));
    QVERIFY(reader.calls > 1);

    // One character short of the buffer is a whole value, not a cut one.
    ProfileReaderStandIn fits{std::string(2046, 'w'), false};
    QCOMPARE(readWhole(std::ref(fits), 1, 2048).size(), qsizetype(2046));
    QCOMPARE(fits.calls, 1);
}

QTEST_GUILESS_MAIN(TestGrowingRead)
#include "tst_growingread.moc"
