// Runs one archive job in its own process, so a test can kill it or limit it.
// Usage: zipjobchild ENGINE_DIR ARCHIVE [--drop-privileges] [--file-size-limit BYTES] [--fresh] FILE...
// Prints "total <percent>" for each progress report, "message <code> <text>", and "result <code>".
#include "engine/archivecomponent.h"

#include <QCoreApplication>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    ArchiveComponent zip;
    zip.DLLDirectory = QString::fromLocal8Bit(argv[1]);
    zip.ZipFileName = argv[2];
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--drop-privileges") == 0) {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                return 3;
        } else if (std::strcmp(argv[i], "--file-size-limit") == 0 && i + 1 < argc) {
            const rlim_t limit = std::stoull(argv[++i]);
            const struct rlimit rl = {limit, limit};
            ::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
            ::setrlimit(RLIMIT_FSIZE, &rl);
        } else if (std::strcmp(argv[i], "--fresh") == 0) {
            zip.AddOptions |= ArchiveComponent::AddFresh;
        } else {
            zip.FileSpecList.emplace_back(argv[i]);
        }
    }
    QObject::connect(&zip, &ArchiveComponent::OnTotalProgress, [](qint64, int percent) {
        std::printf("total %d\n", percent);
        std::fflush(stdout);
    });
    QObject::connect(&zip, &ArchiveComponent::OnMessage, [](int code, const QString& text) {
        std::printf("message %d %s\n", code, text.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    zip.ArchiveComment = QStringLiteral("from a child process");
    const int rc = zip.AddFiles();
    std::printf("result %d %s\n", rc, zip.ErrorText().toLocal8Bit().constData());
    for (const auto& skipped : zip.SkippedFiles())
        std::printf("skipped %s\n", skipped.c_str());
    return rc == 0 ? 0 : 1;
}
