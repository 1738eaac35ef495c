#include "platform/fileinuse.h"
#include "testprogramdir.h"

#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::isFileInUse;

namespace {

enum class LockKind { WriteLock, ReadLock, OpenFileLock, ExclusiveFlock };

// Another process that holds a lock on a file until it is released.
class LockingProcess {
public:
    LockingProcess(const std::filesystem::path& path, LockKind kind) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = kind == LockKind::ReadLock ? F_RDLCK : F_WRLCK;
            lock.l_whence = SEEK_SET;
            bool locked = false;
            if (kind == LockKind::ExclusiveFlock)
                locked = ::flock(fd, LOCK_EX) == 0;
            else
                locked = ::fcntl(fd, kind == LockKind::OpenFileLock ? F_OFD_SETLK : F_SETLK, &lock) == 0;
            const char status = locked ? 'y' : 'n';
            (void)::write(ready[1], &status, 1);
            char buffer;
            (void)::read(release[0], &buffer, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char status = 'n';
        m_locked = ::read(ready[0], &status, 1) == 1 && status == 'y';
        ::close(ready[0]);
    }
    ~LockingProcess() { release(); }

    bool locked() const { return m_locked; }
    void release() {
        if (m_pid <= 0)
            return;
        ::close(m_release);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_locked = false;
};

} // namespace

class FileInUseTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingFileIsNotInUse();
    void idleFileIsNotInUse();
    void lockedByAnotherProcess_data();
    void lockedByAnotherProcess();
    void checkLeavesNoLockBehind();
    void unwritableFileIsInUse();
};

void FileInUseTest::missingFileIsNotInUse() {
    TestProgramDir dir;
    QVERIFY(!isFileInUse(dir.fsPath() / "Quoralis.zip"));
    QVERIFY(!isFileInUse(dir.fsPath() / "no folder" / "Quoralis.zip"));
}

void FileInUseTest::idleFileIsNotInUse() {
    TestProgramDir dir;
    QVERIFY(!isFileInUse(dir.writeFile(QStringLiteral("Quoralis.zip"), "PK").toStdString()));
}

void FileInUseTest::lockedByAnotherProcess_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("write lock") << int(LockKind::WriteLock);
    QTest::newRow("read lock") << int(LockKind::ReadLock);
    QTest::newRow("open file description lock") << int(LockKind::OpenFileLock);
    QTest::newRow("exclusive flock") << int(LockKind::ExclusiveFlock);
}

void FileInUseTest::lockedByAnotherProcess() {
    QFETCH(int, kind);
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("Quoralis.zip"), "PK").toStdString();
    LockingProcess holder(file, LockKind(kind));
    QVERIFY(holder.locked());
    QVERIFY(isFileInUse(file));
    holder.release();
    QVERIFY(!isFileInUse(file));
}

void FileInUseTest::checkLeavesNoLockBehind() {
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("Quoralis.zip"), "PK").toStdString();
    QVERIFY(!isFileInUse(file));
    LockingProcess flockHolder(file, LockKind::ExclusiveFlock);
    QVERIFY(flockHolder.locked());
    flockHolder.release();
    LockingProcess writeLockHolder(file, LockKind::WriteLock);
    QVERIFY(writeLockHolder.locked());
}

void FileInUseTest::unwritableFileIsInUse() {
    if (::geteuid() == 0)
        QSKIP("root may open any file for writing");
    TestProgramDir dir;
    const QString file = dir.writeFile(QStringLiteral("Quoralis.zip"), "PK");
    QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner));
    QVERIFY(isFileInUse(file.toStdString()));
}

QTEST_GUILESS_MAIN(FileInUseTest)
#include "tst_fileinuse.moc"
