#pragma once

#include "messagetable.h"
#include "zipengine_api.h"

#include <exception>
#include <new>
#include <string>

// The body of an engine's exec function: checks the command record, runs one Job on it, and
// turns what escapes the job into a result code and a message. `self` is an address inside
// the library, so that its message file is found beside it.
template <class Job, class Command>
int runEngineCall(const Command* command, const ZeCallbacks* callbacks, const void* self) {
    static const ZeCallbacks none{};
    const ZeCallbacks& cb = callbacks != nullptr ? *callbacks : none;
    MessageTable messages;
    messages.load(MessageTable::besideLibrary(self));
    if (command == nullptr || command->structSize < sizeof(Command)) {
        if (cb.message)
            cb.message(cb.user, ZE_ERR_BAD_COMMAND, messages.text(ZE_ERR_BAD_COMMAND).c_str());
        return ZE_ERR_BAD_COMMAND;
    }
    int code = ZE_ERR_INTERNAL;
    std::string detail;
    try {
        Job job(*command, cb, messages);
        return job.run();
    } catch (const std::bad_alloc&) {
        code = ZE_ERR_MEMORY;
    } catch (const std::exception& e) {
        detail = e.what();
    }
    if (cb.message)
        cb.message(cb.user, code, messages.format(code, detail).c_str());
    return code;
}
