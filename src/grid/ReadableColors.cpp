#include "ReadableColors.h"

#include <algorithm>
#include <cmath>

namespace {

// The background a text role is drawn on.
QPalette::ColorRole BackgroundOf(QPalette::ColorRole role)
{
    switch (role) {
    case QPalette::Text:
        return QPalette::Base;
    case QPalette::ButtonText:
        return QPalette::Button;
    default:
        return QPalette::Window;
    }
}

double Luminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// Enough for normal text to read well.
constexpr double kReadableContrast = 4.5;

} // namespace

bool IsDarkPalette(const QPalette &palette)
{
    return Luminance(palette.color(QPalette::Window)) < Luminance(palette.color(QPalette::WindowText));
}

double ContrastRatio(const QColor &one, const QColor &other)
{
    const double a = Luminance(one) + 0.05;
    const double b = Luminance(other) + 0.05;
    return a > b ? a / b : b / a;
}

QColor ReadableTextColor(const QColor &colour, const QPalette &palette, QPalette::ColorRole role)
{
    if (colour.rgb() == QColor(Qt::black).rgb())
        return palette.color(role);
    if (!IsDarkPalette(palette))
        return colour;
    const QColor background = palette.color(BackgroundOf(role));
    // Lighter in small steps of the same hue and saturation, up to white.
    float hue = 0, saturation = 0, lightness = 0, alpha = 0;
    colour.getHslF(&hue, &saturation, &lightness, &alpha);
    if (hue < 0) // a grey
        hue = saturation = 0;
    QColor readable = colour;
    while (ContrastRatio(readable, background) < kReadableContrast && lightness < 1.0f) {
        lightness = std::min(1.0f, lightness + 0.05f);
        readable = QColor::fromHslF(hue, saturation, lightness, alpha);
    }
    return readable;
}

QColor RowBackgroundColor(const QColor &background, const QPalette &palette)
{
    if (!IsDarkPalette(palette) || !background.isValid())
        return background;
    if (background.rgb() == QColor(Qt::white).rgb())
        return palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    float hue = 0, saturation = 0, lightness = 0, alpha = 0;
    background.getHslF(&hue, &saturation, &lightness, &alpha);
    if (hue < 0)
        hue = saturation = 0;
    // Darker in small steps of the same hue; a shade stays a shade, so the
    // lightness never drops to black.
    lightness = std::min(lightness, 0.35f);
    QColor dark = QColor::fromHslF(hue, saturation, lightness, alpha);
    while (ContrastRatio(text, dark) < kReadableContrast && lightness > 0.1f) {
        lightness = std::max(0.1f, lightness - 0.025f);
        dark = QColor::fromHslF(hue, saturation, lightness, alpha);
    }
    return dark;
}

QColor RowTextColor(const QColor &text, const QColor &shownBackground, const QPalette &palette)
{
    if (!IsDarkPalette(palette) || !text.isValid())
        return text;
    const QColor light = palette.color(QPalette::Text);
    // Black text was meant for a light row; on the darkened row the
    // palette's own text colour reads, as does white where it was asked for.
    if (text.rgb() == QColor(Qt::black).rgb())
        return light;
    return ContrastRatio(text, shownBackground) >= kReadableContrast ? text : light;
}
