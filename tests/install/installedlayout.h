#pragma once

#include <QByteArray>
#include <QSize>
#include <QStringList>

// What an installation lays out below its prefix, shared by the tests of the two ways to install.
class InstalledLayout {
public:
    // The program directory's files, relative to <prefix>/lib/quoralis2005/.
    static QStringList programFiles();
    // The menu icon in every size of the icon theme, relative to the prefix.
    static QStringList iconFiles();
    // The width and height a PNG file's header gives; an empty size for anything else.
    static QSize pngSize(const QString& path);
    // Runs a program to its end; its exit code, or -1 when it could not be started or crashed.
    static int run(const QString& program, const QStringList& arguments, QByteArray* output);
};
