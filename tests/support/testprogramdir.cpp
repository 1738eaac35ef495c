#include "testprogramdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestProgramDir::TestProgramDir() = default;

QString TestProgramDir::writeFile(const QString& relative, const QByteArray& content) const
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return full;
}

QByteArray TestProgramDir::readFile(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestProgramDir::installEngineFiles() const
{
    const QString built = qEnvironmentVariable("QUORALIS_PROGRAM_DIR");
    QDir source(built + QStringLiteral("/dll"));
    QDir().mkpath(filePath(QStringLiteral("dll")));
    for (const QString& name : source.entryList(QDir::Files))
        QFile::copy(source.filePath(name), filePath(QStringLiteral("dll/") + name));
}
