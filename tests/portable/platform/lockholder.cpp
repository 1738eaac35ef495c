// Takes the process lock on the file named first, publishes the second argument, says so by
// making the file named third, and holds the lock until it is killed.
#include "platform/processlock.h"

#include <chrono>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    platform::ProcessLock lock{std::filesystem::path(argv[1])};
    if (lock.tryLock() != platform::ProcessLock::Result::Locked || !lock.publish(argv[2]))
        return 1;
    std::ofstream(std::filesystem::path(argv[3])) << "locked";
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
