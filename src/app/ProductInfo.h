#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// Texts and artwork that name the product in its own windows.
QString ProductName(); // "Dravelin® Ostravine"
QString VersionText(); // "1.0.0"
QString BuildDate();   // "dd/mm/yyyy" of the build
QString BuildNumber(); // last part of the version

class QLabel;
class QWidget;

// The product name in bold, scaled from the default font size; named
// "LabelProduct".
QLabel *NewProductNameLabel(QWidget *parent, qreal scale);

// The product's picture, drawn rather than loaded, so every window has it
// without image files beside the program.
QPixmap DravelinPicture(const QSize &size);
