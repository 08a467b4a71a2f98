#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

namespace sonorell {

QSize DialogUnitsToPixels(const QWidget& widget, int widthUnits, int heightUnits) {
  const QFontMetrics metrics(widget.font());
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int averageWidth = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  return QSize(widthUnits * averageWidth / 4, heightUnits * metrics.height() / 8);
}

}  // namespace sonorell
