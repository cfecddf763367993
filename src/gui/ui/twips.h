#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>

// The window's measures are given in twips, 1/1440 inch. They become pixels through the
// screen's logical DPI: 15 twips per pixel at 96 dpi.
namespace Twips {

inline constexpr int PerInch = 1440;

inline qreal dpiOf(const QWidget *widget)
{
    const int dpi = widget ? widget->logicalDpiX() : 96;
    return dpi > 0 ? dpi : 96;
}

inline int toPixels(int twips, qreal dpi)
{
    return int(std::lround(twips * dpi / PerInch));
}

inline int fromPixels(int pixels, qreal dpi)
{
    return int(std::lround(pixels * PerInch / dpi));
}

// A rectangle given in twips (left, top, width, height), in pixels.
inline QRect rect(int left, int top, int width, int height, qreal dpi)
{
    return {toPixels(left, dpi), toPixels(top, dpi), toPixels(width, dpi), toPixels(height, dpi)};
}

} // namespace Twips
