#include "enginemodule.h"

#include <filesystem>

#include <windows.h>

void* EngineModule::open(const std::string& fileName) {
    const std::filesystem::path file = std::filesystem::path(QUORALIS_ENGINE_DIR) / fileName;
    HMODULE library = LoadLibraryW(file.c_str());
    if (!library)
        m_error += "cannot load " + file.string() + ": error " + std::to_string(GetLastError()) + "\n";
    return reinterpret_cast<void*>(library);
}

void* EngineModule::symbol(void* library, const char* name) {
    void* found = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    if (!found)
        m_error += std::string("no ") + name + "\n";
    return found;
}

void EngineModule::close(void* library) {
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}
