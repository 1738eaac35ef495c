/* The C interface of the ZIP engine libraries (dll/libZipDll.so and dll/libUnZDll.so).
 *
 * The program loads the libraries at run time and resolves the exported functions by name:
 *   add engine:     GetZipDllVersion, ZipDllExec
 *   extract engine: GetUnzDllVersion, UnzDllExec
 * All texts are UTF-8; file paths and entry names are the bytes of the file system (NUL-terminated).
 * Every callback is called on the thread that called the exec function, never on a worker thread. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZE_EXPORT __declspec(dllexport)
#else
#define ZE_EXPORT __attribute__((visibility("default")))
#endif

/* Version reported by both engines: 180 means 1.80. */
#define ZE_ENGINE_VERSION 180

/* Add options (ZeAddCommand.options). */
#define ZE_ADD_DIR_NAMES 0x0001u    /* keep each file's folder path in its entry name */
#define ZE_ADD_UPDATE 0x0002u       /* replace an entry only when its file differs (newer) */
#define ZE_ADD_HIDDEN_FILES 0x0004u /* include hidden files (name beginning with ".") */
#define ZE_ADD_FRESH                                                                                         \
    0x0008u /* keep nothing of an existing archive: it is replaced, once the new one is complete */
/* Check the stored data of every kept entry against its CRC also when no file is to be written.
 * A run that writes the archive checks them always. When every entry is sound the archive is left
 * exactly as it was; a damaged one is replaced as on a run that writes the archive. */
#define ZE_ADD_CHECK_KEPT 0x0010u

/* Extract options (ZeExtractCommand.options). */
#define ZE_EXTRACT_TEST_ONLY 0x0001u /* read and check every entry, write nothing */

/* Result and message codes. 0 and ZE_WARN_SKIPPED mean the archive was written; ZE_WARN_SKIPPED
 * also says that it is incomplete (files left out, stored while they kept changing, or a damaged
 * entry of a file no longer listed left out once the previous archive was kept aside). */
enum ZeCode {
    ZE_OK = 0,
    ZE_WARN_SKIPPED = 1,       /* archive written, but some files could not be read */
    ZE_ERR_NOTHING_TO_DO = 10, /* no file could be added and there was no archive before */
    ZE_ERR_CANCELLED = 11,
    ZE_ERR_BAD_COMMAND = 12,
    ZE_ERR_OPEN_ARCHIVE = 13,
    ZE_ERR_BAD_ARCHIVE = 14,
    ZE_ERR_CREATE_TEMP = 15,
    ZE_ERR_WRITE = 16,
    ZE_ERR_REPLACE = 17,
    ZE_ERR_MEMORY = 18,
    ZE_ERR_INTERNAL = 19,
    ZE_ERR_SKIPPED_FILE = 20,     /* message code: one file was left out */
    ZE_WARN_CHANGING = 21,        /* message code: a file kept changing; one complete read of it was stored */
    ZE_ERR_IN_USE = 22,           /* another job holds the archive; nothing was written */
    ZE_ERR_VERIFY = 23,           /* the new archive did not read back correctly; the previous one stays */
    ZE_WARN_KEPT_DAMAGED = 24,    /* message code: a kept entry failed its CRC check */
    ZE_WARN_ARCHIVE_MOVED = 25,   /* message code: an unreadable archive was moved aside */
    ZE_ERR_NOT_ARCHIVE_FILE = 26, /* the archive's name is taken by something that is no archive file */
    ZE_WARN_KEPT_UNREADABLE = 27, /* message code: an entry kept as it is, encrypted or compressed in a
                                     way this engine cannot read, so its data was not checked */
    ZE_ERR_CRC = 30,
    ZE_ERR_UNSAFE_NAME = 31,
    ZE_ERR_EXTRACT_WRITE = 32,
    ZE_ERR_ENTRY_READ = 33,
    ZE_ERR_TEST_FAILED = 34
};

/* Kinds of progress reports (ZeCallbacks.progress). */
enum ZeProgressKind {
    ZE_PROGRESS_NEW_FILE = 0,     /* name, size of the file */
    ZE_PROGRESS_UPDATE = 1,       /* name, bytes of it done so far */
    ZE_PROGRESS_END_OF_BATCH = 2, /* no name, 0 */
    ZE_PROGRESS_TOTAL_FILES = 3,  /* no name, number of files to process */
    ZE_PROGRESS_TOTAL_SIZE = 4,   /* no name, bytes to process */
    ZE_PROGRESS_NEW_EXTRA = 5,    /* name of an extra step (writing the directory), 0 */
    ZE_PROGRESS_EXTRA_UPDATE = 6
};

/* What became of one file of the list (ZeFileResult.status). */
enum ZeFileStatus {
    ZE_FILE_PENDING = 0,
    ZE_FILE_ADDED = 1,      /* written as a new entry */
    ZE_FILE_REPLACED = 2,   /* written over an older entry */
    ZE_FILE_UP_TO_DATE = 3, /* the archive already held this version; its entry was kept */
    ZE_FILE_SKIPPED = 4,    /* could not be read; reported through the message callback */
    ZE_FILE_EXCLUDED = 5, /* hidden file without ZE_ADD_HIDDEN_FILES, not a regular file, or listed before */
    ZE_FILE_CHANGING = 6 /* kept changing while read: written from one complete read (see ZE_WARN_CHANGING) */
};

/* What is known of an archive's entry of a file (ZeAddCommand.unchanged). */
enum ZeEntryState {
    ZE_ENTRY_COMPARED = 0, /* not known: an update compares the file's size and time with the entry */
    ZE_ENTRY_CURRENT = 1,  /* the entry holds the file as it is */
    ZE_ENTRY_OUTDATED = 2  /* the file changed since the entry was made */
};

typedef struct ZeCallbacks {
    void* user;
    void (*progress)(void* user, int kind, const char* name, int64_t value);
    void (*item)(void* user, const char* name, int64_t totalSize, int percent);
    void (*total)(void* user, int64_t totalSize, int percent);
    void (*message)(void* user, int code, const char* text);
    /* Non-zero asks the engine to stop; the previous archive then stays as it was. */
    int (*checkTerminate)(void* user);
} ZeCallbacks;

/* Filled by the add engine for every file of the list: the size and modification time it saw. */
typedef struct ZeFileResult {
    uint64_t size;
    int64_t mtimeNs;
    int32_t status;
    int32_t reserved;
} ZeFileResult;

typedef struct ZeAddCommand {
    uint32_t structSize; /* sizeof(ZeAddCommand) */
    const char* archivePath;
    uint32_t options;                 /* ZE_ADD_* */
    int32_t level;                    /* 0 stores everything, 1..12 deflates (9 by default) */
    const char* const* storeSuffixes; /* without the dot, compared without letter case */
    size_t storeSuffixCount;
    const char* comment;      /* archive comment, at most 65535 bytes are kept */
    const char* const* files; /* full paths, in the order the entries are written */
    size_t fileCount;
    ZeFileResult* results; /* fileCount elements, or NULL */
    int32_t threads;       /* 0: one per core */
    int32_t reserved;
    /* fileCount flags (ZE_ENTRY_*), or NULL. A file flagged ZE_ENTRY_CURRENT is known not to have
     * changed since it was last archived: the archive's entry of its name is kept as it is, and the
     * file is added only where the archive has no entry of that name. A file flagged
     * ZE_ENTRY_OUTDATED is known to have changed: it is written anew even where its entry's size
     * and time match. When no file is to be written, the archive is left as it is, its comment too. */
    const unsigned char* unchanged;
} ZeAddCommand;

typedef struct ZeExtractCommand {
    uint32_t structSize; /* sizeof(ZeExtractCommand) */
    const char* archivePath;
    const char* destination; /* folder to extract into; ignored when testing */
    uint32_t options;        /* ZE_EXTRACT_* */
    int32_t reserved;
} ZeExtractCommand;

typedef int (*ZeVersionFunction)(void);
typedef int (*ZeAddExecFunction)(const ZeAddCommand* command, const ZeCallbacks* callbacks);
typedef int (*ZeExtractExecFunction)(const ZeExtractCommand* command, const ZeCallbacks* callbacks);

ZE_EXPORT int GetZipDllVersion(void);
ZE_EXPORT int ZipDllExec(const ZeAddCommand* command, const ZeCallbacks* callbacks);
ZE_EXPORT int GetUnzDllVersion(void);
ZE_EXPORT int UnzDllExec(const ZeExtractCommand* command, const ZeCallbacks* callbacks);

#ifdef __cplusplus
}
#endif
