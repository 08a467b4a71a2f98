#pragma once

#include <vector>

#include "engine/encoders/option_lists.h"

class QComboBox;

namespace sonorell {

// Drop-down lists of the option pages, each entry carrying its value.
void FillListCombo(QComboBox& combo, const std::vector<ListEntry>& entries);
// Selects the first entry with the value; the first entry when none has it.
void SelectListValue(QComboBox& combo, int value);
// The selected entry's value; fallback when nothing is selected.
int SelectedListValue(const QComboBox& combo, int fallback = 0);

}  // namespace sonorell
