#pragma once

#include <QColor>
#include <QIcon>

// The small line pictures of the program's picture buttons, drawn at any size.
class GlyphIcon {
public:
    enum class Glyph { Menu, Help, Minimize, Close, Resize, Backup, Cancel, Recalculate };

    static QIcon make(Glyph glyph, const QColor& colour, int size = 16);
};
