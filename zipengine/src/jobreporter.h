#pragma once

#include "zipengine_api.h"

#include <cstdint>
#include <string>

class MessageTable;

// The caller's callbacks as a job uses them: every one optional, messages with the table's texts.
class JobReporter {
public:
    JobReporter(const ZeCallbacks& callbacks, const MessageTable& messages);

    void progress(int kind, const char* name, std::uint64_t value) const;
    void item(const char* name, std::uint64_t size, std::uint64_t done) const;
    void total(std::uint64_t size, std::uint64_t done) const;
    void message(int code, const std::string& detail) const;
    bool terminateRequested() const;

private:
    const ZeCallbacks& m_callbacks;
    const MessageTable& m_messages;
};
