#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

class QWidget;

// Text as it reached the pixels: the colours a window's grab holds where a widget shows its text,
// whatever palettes and style sheets decided them.
namespace DrawnContrast {

// The contrast ratio of two colours by their relative luminance: 1 (same) to 21 (black on white).
double ratio(const QColor& a, const QColor& b);
double luminance(const QColor& colour);

struct Reading {
    QString widget;
    QColor background;
    QColor text;
    double ratio = 0;
};

// The most common colour of the area is taken as the background and the colour that stands out
// most from it as the text. An area of one colour reads as ratio 1.
Reading read(const QImage& shot, const QRect& area);
// The most common colour of the whole image.
QColor background(const QImage& shot);

// Every visible, enabled label, check box, radio button, button with a caption, group title,
// percentage and text area of the window, read from one grab of the window as it is drawn now.
QList<Reading> readWindow(QWidget* window);

} // namespace DrawnContrast
