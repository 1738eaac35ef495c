#include "testprogramdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestProgramDir::TestProgramDir() = default;

TestProgramDir::~TestProgramDir() {
    std::error_code ignored;
    std::filesystem::remove_all(fsPath(), ignored);
    m_dir.setAutoRemove(false);
}

QString TestProgramDir::writeFile(const QString& relative, const QByteArray& content) const {
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return full;
}

QByteArray TestProgramDir::readFile(const QString& relative) const {
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestProgramDir::installProgramFiles() const {
    const QDir built(qEnvironmentVariable("QUORALIS_PROGRAM_DIR"));
    for (const QString& folder :
         {QStringLiteral("dll"), QStringLiteral("help"), QStringLiteral("sounds"), QStringLiteral("skins")}) {
        const QDir source(built.filePath(folder));
        QDir().mkpath(filePath(folder));
        for (const QString& name : source.entryList(QDir::Files))
            QFile::copy(source.filePath(name), filePath(folder + QLatin1Char('/') + name));
    }
    QFile::copy(built.filePath(QStringLiteral("QS2005.ico")), filePath(QStringLiteral("QS2005.ico")));
}
