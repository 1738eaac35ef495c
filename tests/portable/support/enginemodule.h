#pragma once

#include <string>

#include "zipengine_api.h"

// The built engine libraries, loaded from the engine folder as the program loads them, and
// called through their C interface.
class EngineModule {
public:
    EngineModule();
    ~EngineModule();
    EngineModule(const EngineModule&) = delete;
    EngineModule& operator=(const EngineModule&) = delete;

    // Empty when both libraries and all four functions were found; otherwise why not.
    const std::string& loadError() const { return m_error; }

    ZeVersionFunction zipVersion = nullptr;
    ZeAddExecFunction zipExec = nullptr;
    ZeVersionFunction unzipVersion = nullptr;
    ZeExtractExecFunction unzipExec = nullptr;

private:
    void* open(const std::string& fileName);
    void* symbol(void* library, const char* name);
    void close(void* library);

    void* m_zip = nullptr;
    void* m_unzip = nullptr;
    std::string m_error;
};
