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

// A colour-coded row's colours on the palette's grid: unchanged on a light
// palette; on a dark one white stands for the palette's base colour and
// black for its text colour, and every other background keeps its hue but is
// darkened until the row's text reads well on it, so the rows keep their
// meaning without glaring.
QColor RowBackgroundColor(const QColor &background, const QPalette &palette);
QColor RowTextColor(const QColor &text, const QColor &shownBackground, const QPalette &palette);
