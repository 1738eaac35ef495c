/* Preloaded into a child process: writes each sync of a regular file and each new name given to
 * one (link, rename) to the file named by SYNCRECORDER_LOG, as "sync", "link" or "rename", the
 * file's device:inode and, for a name, the new name. With SYNCRECORDER_FAIL set, every sync of a
 * regular file fails with EIO instead. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void record(const char* what, const struct stat* file, const char* name) {
    const char* log = getenv("SYNCRECORDER_LOG");
    if (!log)
        return;
    char line[4200];
    const int length =
        snprintf(line, sizeof line, "%s %llu:%llu %s\n", what, (unsigned long long)file->st_dev,
                 (unsigned long long)file->st_ino, name ? name : "");
    if (length < 0 || (size_t)length >= sizeof line)
        return;
    const int saved = errno;
    const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const ssize_t written = write(fd, line, (size_t)length);
        (void)written;
        close(fd);
    }
    errno = saved;
}

static int syncOrFail(int fd, const char* symbol) {
    struct stat file;
    const int regular = fstat(fd, &file) == 0 && S_ISREG(file.st_mode);
    if (regular && getenv("SYNCRECORDER_FAIL")) {
        record("sync-failed", &file, NULL);
        errno = EIO;
        return -1;
    }
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, symbol);
    const int result = real(fd);
    if (result == 0 && regular)
        record("sync", &file, NULL);
    else if (result == 0 && S_ISDIR(file.st_mode))
        record("sync-folder", &file, NULL);
    return result;
}

int fsync(int fd) {
    return syncOrFail(fd, "fsync");
}

int fdatasync(int fd) {
    return syncOrFail(fd, "fdatasync");
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    struct stat file;
    const int known =
        (flags & AT_EMPTY_PATH) && from[0] == '\0'
            ? fstat(fromDir, &file) == 0
            : fstatat(fromDir, from, &file, (flags & AT_SYMLINK_FOLLOW) ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
    int (*real)(int, const char*, int, const char*, int) =
        (int (*)(int, const char*, int, const char*, int))dlsym(RTLD_NEXT, "linkat");
    const int result = real(fromDir, from, toDir, to, flags);
    if (result == 0 && known)
        record("link", &file, to);
    return result;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    struct stat file;
    const int known = fstatat(fromDir, from, &file, AT_SYMLINK_NOFOLLOW) == 0;
    int (*real)(int, const char*, int, const char*, unsigned int) =
        (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
    const int result = real(fromDir, from, toDir, to, flags);
    if (result == 0 && known)
        record("rename", &file, to);
    return result;
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    return renameat2(fromDir, from, toDir, to, 0);
}

int rename(const char* from, const char* to) {
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, 0);
}
