#include "backupfixture.h"
#include "incompressible.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTest>

#include "engine/archivecomponent.h"

#include <memory>

BackupFixture::BackupFixture(bool withProgramFiles)
    : h(withProgramFiles)
    , docs(h.dir.filePath(QStringLiteral("data/Docs")))
    , photos(h.dir.filePath(QStringLiteral("data/Photos")))
    , destination(h.dir.filePath(QStringLiteral("backups/"))) {
    h.dir.writeFile(QStringLiteral("data/Docs/a.txt"), QByteArray(5000, 'a'));
    h.dir.writeFile(QStringLiteral("data/Docs/sub/b.txt"), "bee");
    h.dir.writeFile(QStringLiteral("data/Photos/c.png"), QByteArray(3000, 'c'));
}

void BackupFixture::addBulk() {
    const QByteArray bulk = incompressibleBytes(8 << 20);
    h.dir.writeFile(QStringLiteral("data/Docs/bulk.bin"), bulk);
}

void BackupFixture::settings(const QByteArray& extra, const QStringList& folders) {
    QByteArray text = "[settings]\ndestination=" + destination.toUtf8() + "\n" + extra + "\n[folders]\n";
    text += "folder_count=" + QByteArray::number(folders.size() - 1) + "\n";
    for (int i = 0; i < folders.size(); ++i)
        text += "folder_" + QByteArray::number(i) + "=" + folders.at(i).toUtf8() + "\n";
    h.writeSettings(text);
}

QStringList BackupFixture::archives() const {
    return QDir(destination).entryList({QStringLiteral("*.zip")}, QDir::Files);
}

QStringList BackupFixture::entries(const QString& archiveName) const {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), destination + archiveName});
    unzip.waitForFinished(60000);
    QStringList names =
        QString::fromUtf8(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

void BackupFixture::waitForNextSecond() {
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    QVERIFY(QTest::qWaitFor([second] { return QDateTime::currentSecsSinceEpoch() != second; }, 5000));
}

void BackupFixture::onFirstFile(MainWindow& form, std::function<void()> action) {
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(&form.program().archiveComponent(), &ArchiveComponent::OnItemProgress, &form,
                             [once, action] {
                                 QObject::disconnect(*once);
                                 action();
                             });
}

bool BackupFixture::unzipTest(const QString& archive) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive});
    return unzip.waitForFinished(60000) && unzip.exitStatus() == QProcess::NormalExit &&
           unzip.exitCode() == 0;
}
