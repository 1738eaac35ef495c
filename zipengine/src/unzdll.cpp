// Exported functions of the extract engine (libUnZDll.so).
#include "enginecall.h"
#include "extractjob.h"

int GetUnzDllVersion(void) {
    return ZE_ENGINE_VERSION;
}

int UnzDllExec(const ZeExtractCommand* command, const ZeCallbacks* callbacks) {
    return runEngineCall<ExtractJob>(command, callbacks, reinterpret_cast<const void*>(&UnzDllExec));
}
