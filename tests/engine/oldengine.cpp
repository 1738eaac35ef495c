// An add engine that reports version 1.77, one below what the component accepts.
#include "zipengine_api.h"

int GetZipDllVersion(void) {
    return 177;
}

int ZipDllExec(const ZeAddCommand*, const ZeCallbacks*) {
    return ZE_ERR_INTERNAL;
}
