// Exported functions of the add engine (libZipDll.so).
#include "addjob.h"
#include "enginecall.h"

int GetZipDllVersion(void) {
    return ZE_ENGINE_VERSION;
}

int ZipDllExec(const ZeAddCommand* command, const ZeCallbacks* callbacks) {
    return runEngineCall<AddJob>(command, callbacks, reinterpret_cast<const void*>(&ZipDllExec));
}
