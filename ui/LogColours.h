#pragma once

#include <QColor>

class QPalette;

// The session log's colours, by message kind, made readable on the palette
// in use: the design's dark blue and dark green vanish on a dark theme, so a
// colour that does not stand out enough from the background is moved in
// lightness (its hue kept) until it does.
namespace LogColours {

// WCAG's contrast for normal text, and the lesser one for the legend's squares.
constexpr double TextContrast = 4.5;
constexpr double MarkContrast = 3.0;

// The WCAG relative luminance (0 black .. 1 white) and contrast ratio (1 .. 21).
double luminance(const QColor& colour);
double contrast(const QColor& a, const QColor& b);

// The colour itself when it has the contrast against background; otherwise
// the nearest lightness of its hue that has it.
QColor readable(const QColor& colour, const QColor& background, double ratio);

// Text colour of a message kind (0 user command .. 3 application message)
// on the palette's text background; invalid for any other kind.
QColor forMessage(int kind, const QPalette& palette);
// Square colour of a legend row's kind on the palette's text background.
QColor forLegend(int kind, const QPalette& palette);

} // namespace LogColours
