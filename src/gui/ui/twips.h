#pragma once

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

} // namespace Twips
