#include "ui/opt_sheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/settings_store.h"
#include "ui/amr_opt_page.h"
#include "ui/opt_aac_page.h"
#include "ui/opt_flac_page.h"
#include "ui/opt_m4a_page.h"
#include "ui/opt_mp3_page.h"
#include "ui/opt_ogg_page.h"
#include "ui/opt_opus_page.h"
#include "ui/opt_output_page.h"
#include "ui/opt_page.h"
#include "ui/opt_wav_page.h"
#include "ui/page_wma_options.h"

namespace sonorell {

COptSheet::COptSheet(Settings& settings, OptionServices services, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      services_(std::move(services)),
      tabs_(new QTabWidget(this)) {
  setWindowTitle(QString::fromUtf8(kOptionsTitle));
  setObjectName(QStringLiteral("optionsSheet"));
  tabs_->setObjectName(QStringLiteral("pages"));
  // Every page's tab stays in view, as on a property sheet; the sheet is as wide as they need.
  tabs_->setUsesScrollButtons(false);
  pages_ = {new COptOutputPage(settings, services_, tabs_),
            new COptMp3Page(settings, services_, tabs_),
            new COptWavPage(settings, services_, tabs_),
            new CPageWMAOptions(settings, services_, tabs_),
            new COptOggPage(settings, services_, tabs_),
            new CAmrOptPage(settings, services_, tabs_),
            new COptAacPage(settings, services_, tabs_),
            new COptM4aPage(settings, services_, tabs_),
            new COptFlacPage(settings, services_, tabs_),
            new COptOpusPage(settings, services_, tabs_)};
  for (COptPage* page : pages_) tabs_->addTab(page, page->Title());

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &COptSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &COptSheet::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);

  // A stored index from an older or damaged store that names no page opens the first.
  const int start = settings.OptStartPageIndex;
  shown_ = start >= 0 && start < kOptionPageCount ? start : kGeneralPage;
  tabs_->setCurrentIndex(shown_);
  InitPageAt(shown_);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { PageChanged(index); });
}

COptSheet::~COptSheet() = default;

void COptSheet::InitPageAt(int index) {
  if (index < 0 || index >= kOptionPageCount || initialised_[static_cast<size_t>(index)]) return;
  initialised_[static_cast<size_t>(index)] = true;
  pages_[static_cast<size_t>(index)]->InitPage();
}

bool COptSheet::LeavePageAt(int index) {
  const std::optional<PageRefusal> refusal = pages_[static_cast<size_t>(index)]->LeavePage();
  if (!refusal) return true;
  // The user is back on the page before the warning explains why.
  if (tabs_->currentIndex() != index) {
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(index);
  }
  services_.showMessage(this, QMessageBox::Warning, refusal->text);
  if (refusal->focus) refusal->focus->setFocus();
  return false;
}

void COptSheet::PageChanged(int index) {
  if (index == shown_ || index < 0) return;
  // The tab has already switched; a page that cannot be left is brought straight back.
  if (!LeavePageAt(shown_)) return;
  shown_ = index;
  InitPageAt(index);
}

void COptSheet::accept() {
  if (!LeavePageAt(shown_)) return;
  for (int i = 0; i < kOptionPageCount; ++i) {
    // Pages never opened were never shown to the user; their settings stay as they are.
    if (initialised_[static_cast<size_t>(i)]) pages_[static_cast<size_t>(i)]->StoreInto(settings_);
  }
  BuildExtensionFilter(settings_);
  SaveSettings(settings_, kSaveOptions);
  QDialog::accept();
}

void COptSheet::done(int result) {
  settings_.OptStartPageIndex = shown_;
  QDialog::done(result);
}

bool RunOptionsSheet(QWidget* owner, Settings& settings, const OptionServices& services) {
  COptSheet sheet(settings, services, owner);
  return sheet.exec() == QDialog::Accepted;
}

}  // namespace sonorell
