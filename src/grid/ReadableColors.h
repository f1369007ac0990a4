#pragma once

#include <QColor>
#include <QPalette>

// Fixed text colours (the red, black and blue of the column titles, the
// colours of the action editor's dates) made readable on the desktop's
// palette: black stands for the palette's own text colour, and on a dark
// palette the other colours are lightened, keeping their hue, until they
// stand out from the background.

// Whether the palette draws light text on a dark background.
bool IsDarkPalette(const QPalette &palette);

// The contrast ratio of two colours, from 1 (none) to 21 (black on white).
double ContrastRatio(const QColor &one, const QColor &other);

// colour as text of role (WindowText, Text, ButtonText) on the background
// that goes with the role in palette.
QColor ReadableTextColor(const QColor &colour, const QPalette &palette,
                         QPalette::ColorRole role = QPalette::WindowText);
