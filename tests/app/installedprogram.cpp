#include "installedprogram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

InstalledProgram::InstalledProgram() {
    dir.installProgramFiles();
    const QString built = qEnvironmentVariable("QUORALIS_PROGRAM_DIR") + QStringLiteral("/quoralis2005");
    QFile::copy(built, dir.filePath(QStringLiteral("quoralis2005")));
    QFile::setPermissions(dir.filePath(QStringLiteral("quoralis2005")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void InstalledProgram::settings(const QByteArray& extra, const QStringList& folders,
                                const QString& destinationFolder) const {
    QByteArray text = "[settings]\nkeep_log=1\nauto_check=0\ndestination=" +
                      (destinationFolder.isEmpty() ? destination() : destinationFolder).toUtf8() + "\n" +
                      extra + "\n[folders]\nfolder_count=" + QByteArray::number(folders.size()) + "\n";
    for (int i = 0; i < folders.size(); ++i)
        text += "folder_" + QByteArray::number(i) + "=" +
                (QDir::isAbsolutePath(folders[i]) ? folders[i] : dir.filePath(folders[i])).toUtf8() + "\n";
    dir.writeFile(QStringLiteral("Quoralis2005Config.ini"), text);
}

void InstalledProgram::start(const QString& argument) {
    process.setProgram(dir.filePath(QStringLiteral("quoralis2005")));
    process.setArguments({argument});
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    QVERIFY(process.waitForStarted());
}

bool InstalledProgram::endsByItself() {
    if (process.waitForFinished(90000))
        return process.exitStatus() == QProcess::NormalExit;
    process.kill();
    process.waitForFinished();
    return false;
}

int InstalledProgram::run(const QString& argument) {
    start(argument);
    return endsByItself() ? process.exitCode() : -1;
}

QByteArray InstalledProgram::lastLog() const {
    QDir logs(dir.filePath(QStringLiteral("logs")));
    const QStringList files = logs.entryList(QDir::Files, QDir::Time);
    return files.isEmpty() ? QByteArray() : dir.readFile(QStringLiteral("logs/") + files.first());
}

QStringList InstalledProgram::entries(const QString& archive) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0)
        return {};
    QStringList names =
        QString::fromUtf8(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

QByteArray InstalledProgram::entryData(const QString& archive, const QString& entryName) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile\n"
                                 "sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))"),
                  archive, entryName});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    return python.readAllStandardOutput();
}

bool InstalledProgram::unzipTest(const QString& archive) {
    return QProcess::execute(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archive}) == 0;
}

QStringList InstalledProgram::destinationFiles() const {
    return QDir(destination())
        .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}
