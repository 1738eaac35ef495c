// Exported functions of the extract engine (libUnZDll.so).
#include "extractjob.h"
#include "messagetable.h"
#include "zipengine_api.h"

#include <exception>
#include <new>

int GetUnzDllVersion(void) {
    return ZE_ENGINE_VERSION;
}

int UnzDllExec(const ZeExtractCommand* command, const ZeCallbacks* callbacks) {
    static const ZeCallbacks none{};
    const ZeCallbacks& cb = callbacks != nullptr ? *callbacks : none;
    MessageTable messages;
    messages.load(MessageTable::besideLibrary(reinterpret_cast<const void*>(&UnzDllExec)));
    if (command == nullptr || command->structSize < sizeof(ZeExtractCommand)) {
        if (cb.message)
            cb.message(cb.user, ZE_ERR_BAD_COMMAND, messages.text(ZE_ERR_BAD_COMMAND).c_str());
        return ZE_ERR_BAD_COMMAND;
    }
    int code = ZE_ERR_INTERNAL;
    std::string detail;
    try {
        ExtractJob job(*command, cb, messages);
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
