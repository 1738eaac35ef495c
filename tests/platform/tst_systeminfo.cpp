#include "platform/systeminfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <string>

using platform::SystemInfo;

class SystemInfoTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionHasFourParts();
    void tempDirEndsWithSeparatorAndExists();
    void osDescriptionNamesKernel();
    void programDirectoryKeepsEveryByte();
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

void SystemInfoTest::programDirectoryKeepsEveryByte() {
    // A copy of a program in a folder whose name is not UTF-8 finds that folder, started
    // directly and through a link.
    namespace fs = std::filesystem;
    QTemporaryDir temp;
    const fs::path base = fs::canonical(fs::path(temp.path().toStdString()));
    const fs::path folder = base / std::string("program \xFF\xC3 folder");
    fs::create_directory(folder);
    fs::copy_file(PROGRAM_DIR_HELPER, folder / "helper");
    fs::create_symlink(folder / "helper", base / "link");
    for (const fs::path& started : {folder / "helper", base / "link"}) {
        FILE* output = ::popen(("'" + started.native() + "'").c_str(), "r");
        QVERIFY(output);
        QByteArray printed;
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, output))
            printed.append(buffer, qsizetype(n));
        QCOMPARE(::pclose(output), 0);
        QCOMPARE(printed, QByteArray::fromStdString(folder.native()));
    }
    QCOMPARE(SystemInfo::programDirectory(),
             fs::canonical(fs::path(QCoreApplication::applicationDirPath().toStdString())));
}

QTEST_GUILESS_MAIN(SystemInfoTest)
#include "tst_systeminfo.moc"
