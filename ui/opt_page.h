#pragma once

#include <QString>
#include <QWidget>
#include <optional>

#include "settings/settings.h"
#include "ui/option_services.h"

namespace sonorell {

// Why a page cannot be left: the warning to show and the control that gets the focus.
struct PageRefusal {
  QString text;
  QWidget* focus = nullptr;
};

// One page of the Options sheet. It edits copies of its Settings fields, taken when the
// page is built; nothing reaches the settings until the sheet is accepted.
class COptPage : public QWidget {
 public:
  COptPage(const OptionServices& services, QWidget* parent)
      : QWidget(parent), services_(services) {}

  // The tab's caption.
  virtual QString Title() const = 0;
  // Runs once, when the page is first shown (the sheet opens on it or the user picks it).
  virtual void InitPage() {}
  // Reads the controls into the copies. A refusal keeps the user on the page; the sheet
  // shows its text (exclamation icon) and puts the focus where it says.
  virtual std::optional<PageRefusal> LeavePage() = 0;
  // OK: the copies go back into settings, as this page's format stores them.
  virtual void StoreInto(Settings& settings) const = 0;

 protected:
  const OptionServices& Services() const { return services_; }

 private:
  const OptionServices& services_;
};

}  // namespace sonorell
