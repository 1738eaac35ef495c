#include "enginemodule.h"

#include <dlfcn.h>

void* EngineModule::open(const std::string& fileName) {
    void* library =
        dlopen((std::string(QUORALIS_ENGINE_DIR) + "/" + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        m_error += dlerror() + std::string("\n");
    return library;
}

void* EngineModule::symbol(void* library, const char* name) {
    void* found = dlsym(library, name);
    if (!found)
        m_error += std::string("no ") + name + "\n";
    return found;
}

void EngineModule::close(void* library) {
    if (library)
        dlclose(library);
}
