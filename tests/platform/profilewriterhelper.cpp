// Writes a profile file in an endless loop, so that a test can kill it at any moment.
// Default: "counter" first, then "mirror" with the same number, each a write of its own.
// With "batch": one batch per round sets "key_0" … "key_39" of [many] to the same number.
// Once its first round is complete it says "writing" on its output.
#include "platform/profilebatch.h"
#include "platform/profilefile.h"

#include <QString>

#include <cstdio>
#include <cstring>

namespace {

void firstRoundDone(bool& said) {
    if (said)
        return;
    said = true;
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: profilewriterhelper <file> [batch]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    bool said = false;
    if (argc > 2 && std::strcmp(argv[2], "batch") == 0) {
        int value = platform::ProfileFile(path).readInteger("many", "key_0", 0);
        for (;;) {
            ++value;
            platform::ProfileBatch batch(path);
            for (int i = 0; i < 40; ++i)
                batch.writeInteger("many", "key_" + QByteArray::number(i), value);
            batch.commit();
            firstRoundDone(said);
        }
    }
    platform::ProfileFile file(path);
    // A pair that an earlier kill left half-written is completed first.
    int value = file.readInteger("state", "counter", 0);
    file.writeInteger("state", "mirror", value);
    for (;;) {
        ++value;
        file.writeInteger("state", "counter", value);
        file.writeInteger("state", "mirror", value);
        firstRoundDone(said);
    }
}
