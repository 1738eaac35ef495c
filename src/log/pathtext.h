#pragma once

#include <QString>

#include <filesystem>

// The text of a path for showing or logging it; the path itself stays bytes.
inline QString pathText(const std::filesystem::path& path) {
    return QString::fromUtf8(path.native().data(), static_cast<qsizetype>(path.native().size()));
}

// The path of a text typed or shown in the program (UTF-8 on this system).
inline std::filesystem::path pathFromText(const QString& text) {
    return std::filesystem::path(text.toStdString());
}
