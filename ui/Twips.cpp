#include "Twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace Twips {

double dpi(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    const double value = screen ? screen->logicalDotsPerInch() : 96.0;
    return value > 0 ? value : 96.0;
}

int toPixels(int twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

int fromPixels(int pixels, double dpi) {
    return static_cast<int>(std::lround(pixels * 1440.0 / dpi));
}

int toPixels(const QWidget* widget, int twips) {
    return toPixels(twips, dpi(widget));
}

int fromPixels(const QWidget* widget, int pixels) {
    return fromPixels(pixels, dpi(widget));
}

QRect toPixels(const QWidget* widget, int left, int top, int width, int height) {
    const double d = dpi(widget);
    return QRect(toPixels(left, d), toPixels(top, d), toPixels(width, d), toPixels(height, d));
}

double fontScale(const QWidget* widget) {
    const double designLine = 13.0 * dpi(widget) / 96.0;
    const double line = QFontMetrics(widget->font()).height();
    return std::max(1.0, line / designLine);
}

} // namespace Twips
