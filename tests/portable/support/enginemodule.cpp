#include "enginemodule.h"

EngineModule::EngineModule() {
    m_zip = open(QUORALIS_ZIPDLL_FILE);
    m_unzip = open(QUORALIS_UNZDLL_FILE);
    if (!m_zip || !m_unzip)
        return;
    zipVersion = reinterpret_cast<ZeVersionFunction>(symbol(m_zip, "GetZipDllVersion"));
    zipExec = reinterpret_cast<ZeAddExecFunction>(symbol(m_zip, "ZipDllExec"));
    unzipVersion = reinterpret_cast<ZeVersionFunction>(symbol(m_unzip, "GetUnzDllVersion"));
    unzipExec = reinterpret_cast<ZeExtractExecFunction>(symbol(m_unzip, "UnzDllExec"));
}

EngineModule::~EngineModule() {
    close(m_zip);
    close(m_unzip);
}
