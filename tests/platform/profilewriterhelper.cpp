// Writes two keys of a profile file in an endless loop, so that a test can kill it at any
// moment: "counter" first, then "mirror" with the same number.
#include "platform/profilefile.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: profilewriterhelper <file>\n");
        return 2;
    }
    platform::ProfileFile file(QString::fromLocal8Bit(argv[1]));
    int value = file.readInteger("state", "counter", 0);
    for (;;) {
        ++value;
        file.writeInteger("state", "counter", value);
        file.writeInteger("state", "mirror", value);
    }
}
