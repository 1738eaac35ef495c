#include "platform/systeminfo.h"

#include <QFileInfo>
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
    QVERIFY(!SystemInfo::computerName().isEmpty());
}

QTEST_GUILESS_MAIN(SystemInfoTest)
#include "tst_systeminfo.moc"
