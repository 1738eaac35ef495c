#pragma once

#include <QColor>
#include <QPalette>

// The colours the skinned widgets draw with, matching the skin pictures.
class SkinPalette {
public:
    static QColor accent() { return {0x3d, 0x7b, 0xd9}; }
    static QColor titleStrip() { return {0x3b, 0x5b, 0x85}; }
    static QColor background() { return {0xf4, 0xf6, 0xf9}; }
    static QColor buttonFace() { return {0xff, 0xff, 0xff}; }
    static QColor buttonHover() { return {0xe8, 0xf0, 0xfb}; }
    static QColor buttonBorder() { return {0xb9, 0xc5, 0xd4}; }
    static QColor buttonDisabled() { return {0xec, 0xee, 0xf1}; }
    static QColor text() { return {0x22, 0x2b, 0x36}; }
    // Hints and side notes: quieter than text, still readable on the light skin.
    static QColor secondaryText() { return {0x5f, 0x6b, 0x78}; }
    static QColor disabledText() { return {0x9a, 0xa3, 0xad}; }
    static QColor progress() { return {83, 169, 255}; }

    // The whole palette of a window drawn on the light skin, set on the window so that every child
    // draws dark on light whatever colours the desktop uses. `window` is the colour behind the
    // children.
    static QPalette windowPalette(const QColor& window = background());
};
