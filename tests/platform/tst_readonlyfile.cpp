#include "platform/readonlyfile.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

class TestReadOnlyFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsARegularFileAndClosesIt() {
        QTemporaryDir dir;
        const fs::path path = fs::path(dir.path().toStdString()) / "sound.wav";
        std::ofstream(path) << "RIFF";
        int fd = -1;
        {
            const platform::ReadOnlyFile file(path);
            QVERIFY(file.isOpen());
            fd = file.descriptor();
            QVERIFY(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
            char buffer[8] = {};
            QCOMPARE(::read(fd, buffer, sizeof buffer), ssize_t(4));
            QCOMPARE(QByteArray(buffer), QByteArray("RIFF"));
            QCOMPARE(::write(fd, "x", 1), ssize_t(-1));
        }
        QCOMPARE(::fcntl(fd, F_GETFD), -1);
        QCOMPARE(errno, EBADF);
    }

    // A pipe nobody writes to must not hold the caller: if opening waited, this would never end.
    void opensANamedPipeWithoutAWriterAtOnce() {
        QTemporaryDir dir;
        const fs::path path = fs::path(dir.path().toStdString()) / "pipe";
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        const platform::ReadOnlyFile file(path);
        QVERIFY(file.isOpen());
        struct stat info {};
        QCOMPARE(::fstat(file.descriptor(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
    }

    void failureLeavesItClosedWithTheReason() {
        QTemporaryDir dir;
        errno = 0;
        const platform::ReadOnlyFile file(fs::path(dir.path().toStdString()) / "missing.wav");
        QVERIFY(!file.isOpen());
        QCOMPARE(errno, ENOENT);
    }
};

QTEST_GUILESS_MAIN(TestReadOnlyFile)
#include "tst_readonlyfile.moc"
