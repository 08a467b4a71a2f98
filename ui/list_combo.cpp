#include "ui/list_combo.h"

#include <QComboBox>

namespace sonorell {

void FillListCombo(QComboBox& combo, const std::vector<ListEntry>& entries) {
  combo.clear();
  for (const ListEntry& e : entries) combo.addItem(QString::fromUtf8(e.text), e.value);
}

void SelectListValue(QComboBox& combo, int value) {
  const int index = combo.findData(value);
  combo.setCurrentIndex(index >= 0 ? index : (combo.count() > 0 ? 0 : -1));
}

int SelectedListValue(const QComboBox& combo, int fallback) {
  const int index = combo.currentIndex();
  return index < 0 ? fallback : combo.itemData(index).toInt();
}

}  // namespace sonorell
