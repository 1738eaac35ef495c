#pragma once

#include "enginemodule.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Runs add and extract jobs through the engine's C interface, as the program does, and keeps what
// they reported.
class EngineCalls {
public:
    struct Run {
        int rc = -1;
        std::vector<ZeFileResult> results;                 // per file of an add job
        std::vector<std::pair<int, std::string>> messages; // code and text, in order
        // The messages as one text, for a failure's explanation.
        std::string messageText() const;
    };

    explicit EngineCalls(const EngineModule& engine)
        : m_engine(engine) {}

    Run add(const std::string& archive, const std::vector<std::string>& files, std::uint32_t options,
            int level = 6) const;
    Run extract(const std::string& archive, const std::string& destination, std::uint32_t options = 0) const;

private:
    const EngineModule& m_engine;
};
