#pragma once

#include "platform/pathbytes.h"

#include <QString>

#include <filesystem>

// The text of a path for showing or logging it; the path itself stays bytes.
inline QString pathText(const std::filesystem::path& path) {
    const std::string bytes = pathBytes(path);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The path of a text typed or shown in the program (UTF-8 on this system).
inline std::filesystem::path pathFromText(const QString& text) {
    return pathFromBytes(text.toStdString());
}
