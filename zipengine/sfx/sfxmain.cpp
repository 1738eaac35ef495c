// The self-extracting stub: an archive appended to this program is extracted into the folder
// given as the first argument, or into the current folder.
#include "archivereader.h"
#include "engineplatform.h"
#include "extractjob.h"
#include "messagetable.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void printMessage(void*, int code, const char* text) {
    if (code != ZE_OK)
        std::fprintf(stderr, "%s\n", text);
}

} // namespace

int main(int argc, char** argv) {
    const std::string self = engineplatform::programFile();
    const std::vector<std::string> arguments = engineplatform::programArguments(argc, argv);
    const std::string destination = arguments.size() > 1 ? arguments[1] : ".";
    ArchiveReader reader;
    if (self.empty() || !reader.open(self)) {
        std::fprintf(stderr, "No archive found in %s\n", self.c_str());
        return 2;
    }
    MessageTable messages;
    ZeCallbacks callbacks{};
    callbacks.message = &printMessage;
    ZeExtractCommand command{};
    command.structSize = sizeof command;
    command.archivePath = self.c_str();
    command.destination = destination.c_str();
    ExtractJob job(command, callbacks, messages);
    const int rc = job.run(static_cast<std::uint64_t>(reader.shift()));
    if (rc == ZE_OK)
        std::printf("Extracted %zu entries into %s\n", reader.count(), destination.c_str());
    return rc == ZE_OK ? 0 : 1;
}
