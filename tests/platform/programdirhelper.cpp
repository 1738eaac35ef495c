// Prints the program directory as the platform layer finds it, byte for byte, for a test
// that runs a copy of this program from a folder of its choosing.
#include "platform/systeminfo.h"

#include <cstdio>

int main() {
    const std::string folder = platform::SystemInfo::programDirectory().native();
    std::fwrite(folder.data(), 1, folder.size(), stdout);
    return 0;
}
