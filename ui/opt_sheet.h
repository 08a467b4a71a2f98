#pragma once

#include <QDialog>
#include <array>

#include "settings/settings.h"
#include "ui/option_services.h"

class QTabWidget;

namespace sonorell {

class COptPage;

inline constexpr const char* kOptionsTitle = "Options";
inline constexpr int kOptionPageCount = 10;

// Tab order of the sheet's pages.
enum OptionPageIndex {
  kGeneralPage = 0,
  kMp3Page = 1,
  kWavPage = 2,
  kWmaPage = 3,
  kOggPage = 4,
  kAmrPage = 5,
  kAacPage = 6,
  kM4aPage = 7,
  kFlacPage = 8,
  kOpusPage = 9,
};

// The Options sheet: one page per output family after the General page. Pages work on
// copies; OK (when the page showing can be left) writes every page the user opened back
// into the settings and saves them. Whichever way it closes, the sheet remembers the page
// that was showing for the next time.
class COptSheet : public QDialog {
 public:
  COptSheet(Settings& settings, OptionServices services, QWidget* parent);
  ~COptSheet() override;
  COptSheet(const COptSheet&) = delete;
  COptSheet& operator=(const COptSheet&) = delete;

  QTabWidget* Tabs() const { return tabs_; }
  COptPage* Page(int index) const { return pages_[static_cast<size_t>(index)]; }

  void accept() override;
  void done(int result) override;

 private:
  // Leaves the page at index; false (after the warning) when it must stay.
  bool LeavePageAt(int index);
  void PageChanged(int index);
  void InitPageAt(int index);

  Settings& settings_;
  const OptionServices services_;
  QTabWidget* tabs_;
  std::array<COptPage*, kOptionPageCount> pages_{};
  std::array<bool, kOptionPageCount> initialised_{};
  int shown_ = 0;
};

// The Options command: the sheet, modal over owner. True when it was accepted.
bool RunOptionsSheet(QWidget* owner, Settings& settings, const OptionServices& services);

}  // namespace sonorell
