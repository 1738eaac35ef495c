#include "platform/systeminfo.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTest>

using platform::SystemInfo;

class SystemInfoTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionHasFourParts();
    void tempDirEndsWithSeparatorAndExists();
    void osDescriptionNamesKernel();
};

void SystemInfoTest::versionHasFourParts() {
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))
                 .match(SystemInfo::programVersion())
                 .hasMatch(),
             qPrintable(SystemInfo::programVersion()));
}

void SystemInfoTest::tempDirEndsWithSeparatorAndExists() {
    const QString dir = SystemInfo::tempDir();
    QVERIFY(dir.endsWith(QLatin1Char('/')));
    QVERIFY(!dir.endsWith(QStringLiteral("//")));
    QVERIFY(QFileInfo(dir).isDir());
}

void SystemInfoTest::osDescriptionNamesKernel() {
    const QString description = SystemInfo::osDescription();
    QVERIFY(description.endsWith(QLatin1Char(' ') + QSysInfo::kernelVersion()));
    QVERIFY(description.size() > QSysInfo::kernelVersion().size() + 1);
    // The distribution is named as its os-release file names it, and the kernel as uname does.
    QFile osRelease(QStringLiteral("/etc/os-release"));
    if (osRelease.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : osRelease.readAll().split('\n')) {
            if (line.startsWith("PRETTY_NAME="))
                QCOMPARE(description.section(QLatin1Char(' '), 0, -2),
                         QString::fromUtf8(line.mid(12).trimmed()).remove(QLatin1Char('"')));
        }
    }
    QProcess uname;
    uname.start(QStringLiteral("uname"), {QStringLiteral("-r")});
    QVERIFY(uname.waitForFinished());
    QVERIFY(description.endsWith(QLatin1Char(' ') + QString::fromLocal8Bit(uname.readAll().trimmed())));
    QVERIFY(!SystemInfo::computerName().isEmpty());
}

QTEST_GUILESS_MAIN(SystemInfoTest)
#include "tst_systeminfo.moc"
