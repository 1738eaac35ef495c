#include "testmount.h"

#include <QDir>
#include <QProcess>

TestMount::TestMount(Kind kind, const QString& folder, qint64 bytes)
    : m_folder(folder) {
    QDir().mkpath(folder);
    switch (kind) {
    case Kind::SmallTmpfs:
        m_active = run({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                        QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), folder});
        break;
    case Kind::ReadOnlyTmpfs:
        m_active = run({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                        QStringLiteral("ro,size=%1").arg(bytes), QStringLiteral("tmpfs"), folder});
        break;
    case Kind::ReadOnlyBind:
        m_active = run({QStringLiteral("--bind"), folder, folder});
        if (m_active && !run({QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), folder})) {
            QProcess::execute(QStringLiteral("umount"), {folder});
            m_active = false;
        }
        break;
    }
}

TestMount::~TestMount() {
    if (m_active)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_folder});
}

bool TestMount::run(const QStringList& arguments) {
    QProcess mount;
    mount.start(QStringLiteral("mount"), arguments);
    if (!mount.waitForFinished(20000) || mount.exitStatus() != QProcess::NormalExit ||
        mount.exitCode() != 0) {
        m_error =
            QStringLiteral("cannot mount (%1): %2")
                .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(mount.readAllStandardError()));
        return false;
    }
    return true;
}
