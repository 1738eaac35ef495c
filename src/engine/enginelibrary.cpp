#include "engine/enginelibrary.h"

#include "engine/zipengineerrors.h"

#include <QDir>
#include <QFileInfo>

EngineLibrary::EngineLibrary(QString baseName, QByteArray versionSymbol, QByteArray execSymbol)
    : m_baseName(std::move(baseName))
    , m_versionSymbol(std::move(versionSymbol))
    , m_execSymbol(std::move(execSymbol)) {}

int EngineLibrary::load(const QString& folder, int minimumVersion) {
    if (m_library.isLoaded())
        m_library.unload();
    m_exec = nullptr;
    m_version = 0;
    m_errorText.clear();
    const QString path = QDir(folder).absoluteFilePath(m_baseName);
    m_library.setFileName(path);
    if (!m_library.load()) {
        m_errorText = QStringLiteral("The ZIP engine %1 could not be loaded from %2 (%3)")
                          .arg(m_baseName, QDir::toNativeSeparators(folder), m_library.errorString());
        return ZipEngineErrors::EngineMissing;
    }
    using VersionFunction = int (*)();
    const auto versionFunction =
        reinterpret_cast<VersionFunction>(m_library.resolve(m_versionSymbol.constData()));
    const QFunctionPointer exec = m_library.resolve(m_execSymbol.constData());
    if (versionFunction == nullptr || exec == nullptr) {
        m_errorText = QStringLiteral("%1 is not a usable ZIP engine: %2 or %3 is missing")
                          .arg(QDir::toNativeSeparators(m_library.fileName()),
                               QString::fromLatin1(m_versionSymbol), QString::fromLatin1(m_execSymbol));
        m_library.unload();
        return ZipEngineErrors::EngineInvalid;
    }
    m_version = versionFunction();
    if (m_version < minimumVersion) {
        m_errorText = QStringLiteral("The ZIP engine %1 is version %2; version %3 or later is needed")
                          .arg(QDir::toNativeSeparators(m_library.fileName()), versionText(m_version),
                               versionText(minimumVersion));
        m_library.unload();
        return ZipEngineErrors::EngineTooOld;
    }
    m_exec = exec;
    return 0;
}
