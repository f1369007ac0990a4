#pragma once

#include "ActionRules.h"

#include <QColor>

// The QColor of a colour of the rules; no colour gives an invalid QColor.
inline QColor ToQColor(const TRgb &rgb)
{
    return rgb.isValid() ? QColor(rgb.red, rgb.green, rgb.blue) : QColor();
}
