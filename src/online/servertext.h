#pragma once

#include <QString>

// What the program does with text a server sent before it is logged or shown.
class ServerText {
public:
    // At most this much of an answer goes into the activity log, and into a message box.
    static constexpr qsizetype logChars = 200;
    static constexpr qsizetype displayChars = 2000;

    // Without the blanks and control characters at both ends, as a server's line break.
    static QString trimmed(const QString& answer);
    // The first maxChars characters, with "..." added when there was more.
    static QString excerpt(const QString& text, qsizetype maxChars);
};
