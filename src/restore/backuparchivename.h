#pragma once

#include <QLocale>

#include <optional>
#include <string>
#include <string_view>

// The parts of a file name that the program gives its archives: "Quoralis", then optionally
// "_" + the folder's name and "_" + the file-name timestamp, then ".zip" (any letter case). The
// timestamp is read the way the locale writes it; one written under another locale is recognised
// by its digit groups.
struct BackupArchiveName {
    std::string folder; // empty for the archive of all folders
    std::string stamp;  // empty for an archive without a date in its name

    // Nothing for a name the program does not write.
    static std::optional<BackupArchiveName> parse(std::string_view fileName,
                                                  const QLocale& locale = QLocale::system());
};
