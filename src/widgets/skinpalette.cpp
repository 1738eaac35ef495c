#include "widgets/skinpalette.h"

QPalette SkinPalette::windowPalette(const QColor& window) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text());
    palette.setColor(QPalette::Base, buttonFace());
    palette.setColor(QPalette::AlternateBase, background());
    palette.setColor(QPalette::Text, text());
    palette.setColor(QPalette::PlaceholderText, secondaryText());
    palette.setColor(QPalette::Button, buttonFace());
    palette.setColor(QPalette::ButtonText, text());
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, buttonHover());
    palette.setColor(QPalette::Mid, buttonBorder());
    palette.setColor(QPalette::Dark, buttonBorder().darker(130));
    palette.setColor(QPalette::Shadow, text());
    palette.setColor(QPalette::Highlight, accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent());
    palette.setColor(QPalette::LinkVisited, titleStrip());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText());
    palette.setColor(QPalette::Disabled, QPalette::Base, buttonDisabled());
    palette.setColor(QPalette::Disabled, QPalette::Button, buttonDisabled());
    return palette;
}
