#include "installedlayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The installation for one user: the program directory under a prefix whose path needs
// quoting, the launcher, the menu entry, and a backup made by the installed program.
class TestInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_temp.isValid());
        m_prefix = m_temp.filePath(QStringLiteral("it's my 100% $HOME/.local"));
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(CMAKE_COMMAND_PATH),
                      {QStringLiteral("--install"), QStringLiteral(QUORALIS_BUILD_DIR),
                       QStringLiteral("--prefix"), m_prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
        m_programDir = m_prefix + QStringLiteral("/lib/quoralis2005/");
    }

    void programDirectoryAsTheBuildLaysItOut() {
        QCOMPARE(QDir(QStringLiteral(QUORALIS_BUILD_DIR "/bin/sounds")).entryList(QDir::Files).size(), 10);
        for (const QString& file : InstalledLayout::programFiles())
            QVERIFY2(QFileInfo(m_programDir + file).isFile(), qPrintable(file));
        QVERIFY(QFileInfo(m_programDir + QStringLiteral("quoralis2005")).isExecutable());

        const QFileInfo launcher(m_prefix + QStringLiteral("/bin/quoralis2005"));
        QVERIFY(launcher.isSymLink());
        QCOMPARE(launcher.canonicalFilePath(),
                 QFileInfo(m_programDir + QStringLiteral("quoralis2005")).canonicalFilePath());
        for (const QString& icon : InstalledLayout::iconFiles())
            QVERIFY2(QFileInfo(m_prefix + QLatin1Char('/') + icon).isFile(), qPrintable(icon));
    }

    // The manifest is the uninstall list: it names every file the installation made, the
    // launcher and the menu entry included, and nothing outside the prefix.
    void manifestListsEverythingInstalled() {
        QFile manifest(QStringLiteral(QUORALIS_BUILD_DIR "/install_manifest.txt"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        QStringList listed =
            QString::fromUtf8(manifest.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& path : listed)
            QVERIFY2(path.startsWith(m_prefix + QLatin1Char('/')), qPrintable(path));
        QStringList installed;
        QDirIterator walk(m_prefix, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
        while (walk.hasNext())
            installed.append(walk.next());
        listed.sort();
        installed.sort();
        QCOMPARE(listed, installed);
        QVERIFY(installed.contains(m_prefix + QStringLiteral("/bin/quoralis2005")));
        QVERIFY(installed.contains(m_prefix + QStringLiteral("/share/applications/quoralis2005.desktop")));
    }

    void menuEntryIsValidAndStartsTheInstalledProgram() {
        const QString entryPath = m_prefix + QStringLiteral("/share/applications/quoralis2005.desktop");
        QFile entry(entryPath);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = entry.readAll().split('\n');
        QVERIFY(lines.contains("Icon=quoralis2005"));
        // The quoted path, its quote, "%" and "$" escaped for the Exec key.
        QByteArray exec = QFile::encodeName(m_programDir + QStringLiteral("quoralis2005"));
        exec.replace("%", "%%").replace("$", "\\\\$");
        QVERIFY2(lines.contains("Exec=\"" + exec + "\""), lines.join('\n').constData());

        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), {entryPath});
        QVERIFY2(validate.waitForFinished(), "desktop-file-validate is missing (scripts/setup installs it)");
        QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
    }

    void installedProgramMakesABackupAndCloses() {
        const QString data = m_temp.filePath(QStringLiteral("data"));
        const QString destination = m_temp.filePath(QStringLiteral("backups/"));
        QDir().mkpath(data);
        QFile file(data + QStringLiteral("/letter.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Dear reader, this is kept safe.");
        file.close();
        QFile ini(m_programDir + QStringLiteral("Quoralis2005Config.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[settings]\ndestination=" + destination.toUtf8() +
                  "\nkeep_log=1\n[folders]\nfolder_count=0\nfolder_0=" + data.toUtf8() + "\n");
        ini.close();

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_temp.filePath(QStringLiteral("config")));
        // No sound server: the program is silent and starts none.
        env.insert(QStringLiteral("PULSE_SERVER"),
                   QStringLiteral("unix:") + m_temp.filePath(QStringLiteral("none")));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(m_temp.path());
        program.setProcessChannelMode(QProcess::MergedChannels);
        // Through the launcher on PATH, as a user starts it.
        program.start(m_prefix + QStringLiteral("/bin/quoralis2005"), {QStringLiteral("/autoclose")});
        QVERIFY(program.waitForFinished(120000));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
                 program.readAll().constData());

        QFile archive(destination + QStringLiteral("Quoralis.zip"));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QVERIFY(archive.read(2) == "PK");
        // The settings and the log are written beside the installed program.
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("total_backups=1"));
        QCOMPARE(QDir(m_programDir + QStringLiteral("logs")).entryList(QDir::Files).size(), 1);
    }

private:
    QTemporaryDir m_temp;
    QString m_prefix;
    QString m_programDir;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
