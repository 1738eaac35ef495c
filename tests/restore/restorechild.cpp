// Restores every entry of an archive below a folder and, once the first piece of a file is written,
// says "writing" on stdout and waits for stdin to close: the test kills it there.
#include "restore/archivecontents.h"
#include "restore/restorejob.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    ArchiveContents contents;
    if (!contents.open(argv[1]))
        return 3;
    RestoreRequest request;
    request.originalPlace = false;
    request.folder = argv[2];
    request.addNode(contents, ArchiveContents::Root);
    bool told = false;
    RestoreJob::Callbacks callbacks;
    callbacks.progress = [&](std::uint64_t done, std::uint64_t, std::string_view) {
        if (done == 0 || told)
            return;
        told = true;
        std::fputs("writing\n", stdout);
        std::fflush(stdout);
        char c;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
    };
    std::atomic<bool> cancel{false};
    RestoreJob(std::move(request), std::move(callbacks), cancel).run();
    return 0;
}
