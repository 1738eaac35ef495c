// An installation in a folder the user cannot write (as a package or `cmake --install` into a
// root-owned prefix makes it) keeps each user's settings and logs in that user's own places.
#include "app/exitstatus.h"
#include "testprogramdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void makeOwnedBy(const QString& path, uid_t uid, gid_t gid) {
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QVERIFY(::chown(QFile::encodeName(path).constData(), uid, gid) == 0);
    while (it.hasNext())
        QVERIFY(::lchown(QFile::encodeName(it.next()).constData(), uid, gid) == 0);
}

QStringList filesBelow(const QString& path) {
    QStringList files;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(path).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

class TestPerUserInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anotherUserKeepsSettingsAndLogsInTheirOwnPlaces() {
        if (::geteuid() != 0)
            QSKIP("needs root to lay out a root-owned installation and run it as another user");
        const passwd* nobody = ::getpwnam("nobody");
        QVERIFY(nobody);

        // The installation: owned by root, readable by all, writable by nobody else.
        TestProgramDir install;
        install.installProgramFiles();
        const QString program = install.filePath(QStringLiteral("quoralis2005"));
        QVERIFY(QFile::copy(qEnvironmentVariable("QUORALIS_PROGRAM_DIR") + QStringLiteral("/quoralis2005"),
                            program));
        QVERIFY(::chmod(QFile::encodeName(program).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(install.path()).constData(), 0755) == 0);
        const QStringList installed = filesBelow(install.path());

        // The user's home, data and destination.
        QTemporaryDir home;
        QVERIFY(::chmod(QFile::encodeName(home.path()).constData(), 0755) == 0);
        QDir(home.path()).mkpath(QStringLiteral("data/Docs"));
        QFile data(home.filePath(QStringLiteral("data/Docs/a.txt")));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write("some text");
        data.close();
        const QString config = home.filePath(QStringLiteral(".config/Quoralis2005"));
        QDir().mkpath(config);
        QFile settings(config + QStringLiteral("/Quoralis2005Config.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[settings]\nkeep_log=1\nauto_check=0\ndestination=" +
                       home.filePath(QStringLiteral("backups")).toUtf8() +
                       "\n[folders]\nfolder_count=0\nfolder_0=" +
                       home.filePath(QStringLiteral("data/Docs")).toUtf8() + "\n");
        settings.close();
        makeOwnedBy(home.path(), nobody->pw_uid, nobody->pw_gid);

        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        run.setProcessEnvironment(environment);
        run.setWorkingDirectory(home.path());
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        run.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                   QStringLiteral("--regid=%1").arg(nobody->pw_gid), QStringLiteral("--clear-groups"),
                   program, QStringLiteral("/autoclose")});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), int(ExitStatus::AllArchivesMade));

        QVERIFY(QFile::exists(home.filePath(QStringLiteral("backups/Quoralis.zip"))));
        // The settings were read and saved in the user's place, the log went to the user's data place,
        // and the installation is as it was.
        QVERIFY(QFile(config + QStringLiteral("/Quoralis2005Config.ini")).size() > 200);
        QCOMPARE(QDir(home.filePath(QStringLiteral(".local/share/Quoralis2005/logs")))
                     .entryList(QDir::Files)
                     .size(),
                 1);
        QCOMPARE(filesBelow(install.path()), installed);
        makeOwnedBy(home.path(), 0, 0);
    }

    // A program folder whose name is not valid UTF-8 finds its settings, its engine and its files.
    void programFolderNameThatIsNotText() {
        QTemporaryDir base;
        const QByteArray folder = QFile::encodeName(base.path()) + "/Programme \xff\xfe";
        QVERIFY(std::filesystem::create_directory(folder.toStdString()));
        const std::filesystem::path program(folder.toStdString());
        TestProgramDir built;
        built.installProgramFiles();
        const std::filesystem::path files(built.path().toStdString());
        std::filesystem::copy(files, program, std::filesystem::copy_options::recursive);
        std::filesystem::copy_file(qEnvironmentVariable("QUORALIS_PROGRAM_DIR").toStdString() +
                                       "/quoralis2005",
                                   program / "quoralis2005");
        QTemporaryDir data;
        QFile text(data.filePath(QStringLiteral("a.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("text");
        text.close();
        {
            std::ofstream settings(program / "Quoralis2005Config.ini");
            settings << "[settings]\nkeep_log=1\nauto_check=0\ndestination="
                     << data.filePath(QStringLiteral("backups")).toStdString()
                     << "\n[folders]\nfolder_count=0\nfolder_0=" << data.path().toStdString() << "\n";
        }
        // QProcess takes the program as text, which cannot hold these bytes: the child goes into the
        // folder by its bytes and starts the program from there.
        const std::string folderBytes = program.native();
        QProcess run;
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        run.setChildProcessModifier([folderBytes] {
            if (::chdir(folderBytes.c_str()) != 0)
                ::_exit(99);
        });
        run.start(QStringLiteral("./quoralis2005"), {QStringLiteral("/autoclose")});
        QVERIFY(run.waitForStarted());
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), int(ExitStatus::AllArchivesMade));
        QVERIFY(QFile::exists(data.filePath(QStringLiteral("backups/Quoralis.zip"))));
        // The settings were saved where they were found, the log beside them.
        std::ifstream saved(program / "Quoralis2005Config.ini");
        const std::string savedText((std::istreambuf_iterator<char>(saved)),
                                    std::istreambuf_iterator<char>());
        QVERIFY(savedText.find("total_backups=1") != std::string::npos);
        QVERIFY(std::filesystem::exists(program / "logs"));
        std::filesystem::remove_all(program);
    }
};

QTEST_GUILESS_MAIN(TestPerUserInstall)
#include "tst_peruserinstall.moc"
