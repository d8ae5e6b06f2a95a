#include "LogColours.h"

#include <QPalette>
#include <algorithm>
#include <cmath>

namespace LogColours {

double luminance(const QColor& colour) {
    auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable(const QColor& colour, const QColor& background, double ratio) {
    if (contrast(colour, background) >= ratio)
        return colour;
    // Away from the background: lighter on a dark one, darker on a light one.
    const double step = luminance(background) < 0.18 ? 0.02 : -0.02;
    const QColor hsl = colour.toHsl();
    double lightness = hsl.lightnessF();
    for (int i = 0; i < 50; ++i) {
        lightness = std::clamp(lightness + step, 0.0, 1.0);
        const QColor candidate =
            QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness).toRgb();
        if (contrast(candidate, background) >= ratio)
            return candidate;
    }
    return step > 0 ? QColor(Qt::white) : QColor(Qt::black);
}

QColor forMessage(int kind, const QPalette& palette) {
    const QColor background = palette.color(QPalette::Base);
    switch (kind) {
    case 0:
        return readable(QColor(0, 0, 64), background, TextContrast);
    case 1:
        return readable(QColor(0, 64, 0), background, TextContrast);
    case 2:
        return readable(QColor(255, 0, 0), background, TextContrast);
    case 3:
        return palette.color(QPalette::Text);
    default:
        return {};
    }
}

QColor forLegend(int kind, const QPalette& palette) {
    static const QColor squares[] = {QColor(0, 0, 128), QColor(0, 128, 0), QColor(255, 0, 0),
                                     QColor(128, 128, 128)};
    if (kind < 0 || kind > 3)
        return {};
    return readable(squares[kind], palette.color(QPalette::Base), MarkContrast);
}

} // namespace LogColours
