#include "installedlayout.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>

QStringList InstalledLayout::programFiles() {
    QStringList files{QStringLiteral("quoralis2005"),          QStringLiteral("QS2005.ico"),
                      QStringLiteral("dll/libZipDll.so"),      QStringLiteral("dll/libUnZDll.so"),
                      QStringLiteral("dll/dzsfxus.bin"),       QStringLiteral("dll/ResDlls.res"),
                      QStringLiteral("help/Quoralis2005.html")};
    const QDir builtSounds(QStringLiteral(QUORALIS_BUILD_DIR "/bin/sounds"));
    for (const QString& sound : builtSounds.entryList(QDir::Files))
        files.append(QStringLiteral("sounds/") + sound);
    return files;
}

QStringList InstalledLayout::iconFiles() {
    QStringList files{QStringLiteral("share/icons/hicolor/scalable/apps/quoralis2005.svg")};
    for (const int size : {16, 32, 48, 64, 128, 256})
        files.append(QStringLiteral("share/icons/hicolor/%1x%1/apps/quoralis2005.png").arg(size));
    return files;
}

QSize InstalledLayout::pngSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {};
    return QSize(int(qFromBigEndian<quint32>(head.constData() + 16)),
                 int(qFromBigEndian<quint32>(head.constData() + 20)));
}

int InstalledLayout::run(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    // Packaging and checking a package can take minutes on a busy machine; the test's own
    // time limit ends a run that hangs.
    const bool finished = process.waitForFinished(-1);
    if (output)
        *output = process.readAll();
    if (!finished || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}
