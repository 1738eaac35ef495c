#include "widgets/shortenedpath.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>

// Paths shortened from the left to fit a label.
class TestShortenedPath : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dropsFoldersFromTheLeftUntilItFits();
};

void TestShortenedPath::dropsFoldersFromTheLeftUntilItFits() {
    const QFontMetrics metrics(QApplication::font());
    const QString path = QStringLiteral("/alpha/beta/gamma/file.txt");
    const auto widthOf = [&](const QString& text) {
        return metrics.horizontalAdvance(text);
    };
    QCOMPARE(ShortenedPath::fit(path, metrics, widthOf(path)), path);
    const QStringList steps = {QStringLiteral("/.../beta/gamma/file.txt"),
                               QStringLiteral("/.../gamma/file.txt"), QStringLiteral("/.../file.txt"),
                               QStringLiteral(".../file.txt"), QStringLiteral("file.txt")};
    for (const QString& expected : steps)
        QCOMPARE(ShortenedPath::fit(path, metrics, widthOf(expected)), expected);
    // Too narrow even for the name: the bare name all the same.
    QCOMPARE(ShortenedPath::fit(path, metrics, 1), QStringLiteral("file.txt"));
    QCOMPARE(ShortenedPath::fit(QStringLiteral("file.txt"), metrics, 1), QStringLiteral("file.txt"));
}

QTEST_MAIN(TestShortenedPath)
#include "tst_shortenedpath.moc"
