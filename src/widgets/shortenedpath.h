#pragma once

#include <QString>

class QFontMetrics;

// Fits a file path to a width by shortening its folder part from the left, one folder at a
// time, never the file name: /a/b/c/file.txt, /.../b/c/file.txt, /.../c/file.txt,
// /.../file.txt, .../file.txt, file.txt. The bare file name is used even when it does not fit.
class ShortenedPath {
public:
    static QString fit(const QString& path, const QFontMetrics& metrics, int width);
};
