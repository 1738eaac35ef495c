#pragma once

#include <QLibrary>
#include <QString>

// One ZIP engine library loaded from the engine folder: its version function and its exec
// function, resolved by name. Owns the QLibrary.
class EngineLibrary {
public:
    // baseName without prefix or suffix ("ZipDll"); QLibrary adds the platform's own.
    EngineLibrary(QString baseName, QByteArray versionSymbol, QByteArray execSymbol);

    // 0 on success; otherwise the component's error code, with errorText() saying why.
    int load(const QString& folder, int minimumVersion);
    bool isLoaded() const { return m_exec != nullptr; }
    int version() const { return m_version; }
    QFunctionPointer exec() const { return m_exec; }
    const QString& errorText() const { return m_errorText; }

private:
    QString m_baseName;
    QByteArray m_versionSymbol;
    QByteArray m_execSymbol;
    QLibrary m_library;
    QFunctionPointer m_exec = nullptr;
    int m_version = 0;
    QString m_errorText;
};
