#pragma once

#include <QRect>

class QWidget;

// Window geometry is designed in twips (1/1440 inch): 15 twips are one pixel
// at 96 dpi. Every conversion goes through here, scaled by the logical dpi of
// the screen the widget is on.
namespace Twips {

double dpi(const QWidget* widget);
int toPixels(int twips, double dpi);
int fromPixels(int pixels, double dpi);

int toPixels(const QWidget* widget, int twips);
int fromPixels(const QWidget* widget, int pixels);
QRect toPixels(const QWidget* widget, int left, int top, int width, int height);

// How much larger than the design font (8.25 pt, 13 pixels a line at 96 dpi)
// the widget's font is, never below 1: dialogs designed around the small
// font grow with it so that no text is cut.
double fontScale(const QWidget* widget);

} // namespace Twips
