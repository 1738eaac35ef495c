#pragma once

#include <QString>

// Tool tips take text that looks like markup as rich text. Names that come from the file
// system, archives or servers are shown as they are: escaped inside a paragraph that keeps
// their spaces and line breaks.
class PlainToolTip {
public:
    static QString of(const QString& text);
};
