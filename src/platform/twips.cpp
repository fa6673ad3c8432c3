#include "platform/twips.h"

#include <QFontMetricsF>
#include <QRect>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace holvane {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kDesignFontHeightPx = 12.0; // the dialog font the sizes were made for

double dpi(const QWidget *widget)
{
    return widget ? widget->logicalDpiX() : 96.0;
}

} // namespace

int twips(int value, const QWidget *widget)
{
    return int(std::lround(value * dpi(widget) / kTwipsPerInch));
}

int dialogTwips(int value, const QWidget *widget)
{
    const double designHeight = kDesignFontHeightPx * dpi(widget) / 96.0;
    const double fontFactor = std::max(1.0, QFontMetricsF(widget->font()).height() / designHeight);
    return int(std::lround(value * dpi(widget) / kTwipsPerInch * fontFactor));
}

QRect dialogRect(int left, int top, int width, int height, const QWidget *widget)
{
    return {dialogTwips(left, widget), dialogTwips(top, widget), dialogTwips(width, widget),
            dialogTwips(height, widget)};
}

} // namespace holvane
