#pragma once

#include <QString>

// Result codes of the archive component that do not come from an engine. The engines' own codes
// (zipengine_api.h) are below 100.
namespace ZipEngineErrors {
constexpr int Busy = -255;
constexpr int EngineMissing = 101;
constexpr int EngineInvalid = 102;
constexpr int EngineTooOld = 103;
constexpr int NoArchiveName = 104;
constexpr int NoFiles = 105;
} // namespace ZipEngineErrors

// "1.78" for 178.
inline QString versionText(int version) {
    return QStringLiteral("%1.%2").arg(version / 100).arg(version % 100, 2, 10, QLatin1Char('0'));
}
