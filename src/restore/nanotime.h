#pragma once

#include <cstdint>
#include <ctime>

// A time in nanoseconds since the epoch as the system's file calls take it (also before 1970).
inline struct timespec timespecOfNs(std::int64_t ns) {
    std::int64_t seconds = ns / 1000000000;
    std::int64_t rest = ns % 1000000000;
    if (rest < 0) {
        rest += 1000000000;
        --seconds;
    }
    return {static_cast<time_t>(seconds), static_cast<long>(rest)};
}
