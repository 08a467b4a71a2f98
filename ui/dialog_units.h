#pragma once

#include <QSize>

class QWidget;

namespace sonorell {

// Converts a size in dialog units (a quarter of the average character width, an eighth of
// the character height) to pixels for the widget's font, so windows scale with the font.
QSize DialogUnitsToPixels(const QWidget& widget, int widthUnits, int heightUnits);

}  // namespace sonorell
