#include "ui/main_dlg.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "engine/encoders/forwarding_progress.h"
#include "engine/encoders/wma/build_profile_list.h"
#include "engine/jobs/input_types.h"
#include "engine/jobs/output_formats.h"
#include "engine/workers/helper_protocol.h"
#include "settings/files_at_once.h"
#include "settings/settings_store.h"
#include "ui/convert_progress_dlg.h"
#include "ui/file_list_model.h"
#include "ui/message_pump.h"
#include "ui/opt_sheet.h"
#include "ui/progress_dlg.h"
#include "ui/qt_paths.h"
#include "ui/worker_helper.h"
#include "ui/worker_run.h"

namespace sonorell {
namespace {

constexpr int kDefaultWidth = 699;
constexpr int kDefaultHeight = 538;
constexpr int kFormatListWidth = 160;

// The file list's view. It hands every context-menu request to the window, placed at the
// mouse, or at the centre of the list when it comes from the keyboard.
class FileListView : public QTreeView {
 public:
  FileListView(QWidget* parent, std::function<void(const QPoint&)> onContextMenu)
      : QTreeView(parent), onContextMenu_(std::move(onContextMenu)) {}

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override {
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(rect().center())
                                                                     : event->globalPos();
    event->accept();
    if (onContextMenu_) onContextMenu_(at);
  }

 private:
  std::function<void(const QPoint&)> onContextMenu_;
};

QPushButton* MakeButton(QWidget* parent, const char* text, const char* toolTip, const char* name) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setToolTip(QString::fromUtf8(toolTip));
  button->setObjectName(QString::fromUtf8(name));
  // Enter does nothing in this window, so no button may take it as its default.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

std::string OpenFailureText(const std::string& what) {
  return "Unfortunately, \"" + what +
         "\" couldn't be opened.\n\nNote: no program on your computer is set up to open it, or "
         "the one that is couldn't start.";
}

std::string BrowseFailureText(const std::string& path) {
  return "Unfortunately, the file browser couldn't show \"" + path +
         "\".\n\nNote: no file manager answered, and its folder couldn't be opened either.";
}

}  // namespace

// Marks the window busy for the lifetime of one command that adds or converts files.
class CMainDlg::BusyScope {
 public:
  explicit BusyScope(CMainDlg& window) : window_(window) { ++window_.busy_; }
  ~BusyScope() {
    if (--window_.busy_ == 0) window_.ShowHeldWarnings();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  CMainDlg& window_;
};

CMainDlg::CMainDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      settings_(CreateDefaultSettings()) {
  setObjectName(QStringLiteral("CMainDlg"));
  BuildControls();
  if (!services_.workerHelper.empty()) helper_ = new WorkerHelper(services_.workerHelper, this);

  if (!runState_.SoundFontReady && services_.loadDefaultSoundFont) {
    // Nothing is said when no font is found: a run asks for it when a MIDI file needs it.
    runState_.SoundFontReady = services_.loadDefaultSoundFont(services_.programFolder);
  }
  LoadSettings(settings_);

  setWindowTitle(QString::fromUtf8(kProgramTitle));
  BuildMenus();
  resize(kDefaultWidth, kDefaultHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  FillFormatBox();
  setAcceptDrops(true);
  HandleFirstRun([this] { OpenWithShell(services_.programFolder + kHelpFileName); });
}

CMainDlg::~CMainDlg() {
  model_->Clear();
  SaveSettings(settings_, kSaveFormatAndPage);
  // The view and its model read the list, which is a member and goes before the base
  // class's children: they go first.
  delete content_;
}

void CMainDlg::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  content_ = new QWidget(this);
  outer->addWidget(content_);

  auto* layout = new QVBoxLayout(content_);
  auto* view = new FileListView(content_, [this](const QPoint& at) { ShowContextMenu(at); });
  list_ = view;
  list_->setObjectName(QStringLiteral("fileList"));
  model_ = new FileListModel(files_, list_);
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSortingEnabled(false);  // the list sorts itself by its own cell rules
  QHeaderView* header = list_->header();
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  for (int column = 0; column < kFileListColumns; ++column) {
    header->resizeSection(column, ColumnInfo(column).width);
  }
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) PlaySource();
  });
  layout->addWidget(list_, 1);

  auto* buttons = new QHBoxLayout;
  QPushButton* addFiles = MakeButton(content_, "&Add Files", "Add files", "addFiles");
  QPushButton* addFolder =
      MakeButton(content_, "Add &Folder", "Add files from a folder", "addFolder");
  QPushButton* removeAll =
      MakeButton(content_, "Remove A&ll", "Remove all files in list", "removeAll");
  QPushButton* convert = MakeButton(content_, "&Convert", "Convert all files", "convert");
  QPushButton* options = MakeButton(content_, "&Options", "Options", "options");
  formatBox_ = new QComboBox(content_);
  formatBox_->setObjectName(QStringLiteral("outputFormat"));
  formatBox_->setToolTip(QStringLiteral("Output format"));
  formatBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  formatBox_->view()->setMinimumWidth(kFormatListWidth);
  buttons->addWidget(addFiles);
  buttons->addWidget(addFolder);
  buttons->addWidget(removeAll);
  buttons->addStretch(1);
  buttons->addWidget(formatBox_);
  buttons->addWidget(options);
  buttons->addWidget(convert);
  layout->addLayout(buttons);

  connect(addFiles, &QPushButton::clicked, this, [this] { AddFiles(); });
  connect(addFolder, &QPushButton::clicked, this, [this] { AddFolder(); });
  connect(removeAll, &QPushButton::clicked, this, [this] { RemoveAll(); });
  connect(convert, &QPushButton::clicked, this, [this] { Convert(); });
  connect(options, &QPushButton::clicked, this, [this] {
    if (!Busy()) OpenOptions();
  });

  // Keys that act anywhere in the window.
  auto* addFilesKey = new QAction(this);
  addFilesKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(addFilesKey, &QAction::triggered, this, [this] { AddFiles(); });
  auto* removeKey = new QAction(this);
  removeKey->setShortcut(QKeySequence(Qt::Key_Delete));
  connect(removeKey, &QAction::triggered, this, [this] { Remove(); });
  content_->addAction(addFilesKey);
  content_->addAction(removeKey);
}

void CMainDlg::BuildMenus() {
  auto* bar = new QMenuBar(content_);
  helpMenu_ = bar->addMenu(QStringLiteral("&Help"));
  QAction* topics = helpMenu_->addAction(QStringLiteral("&Help Topics"));
  topics->setShortcut(QKeySequence(Qt::Key_F1));
  connect(topics, &QAction::triggered, this, [this] { HelpTopics(); });
  helpMenu_->addSeparator();
  // There is no vendor site: the pages of the maker point at the help shipped beside us.
  const auto openHelpPage = [this] { OpenWithShell(services_.programFolder + kHelpFileName); };
  connect(helpMenu_->addAction(QStringLiteral("&Tell A Friend")), &QAction::triggered, this,
          [this] { OpenWithShell("mailto:?subject=Sonorell%20audio%20converter"); });
  connect(helpMenu_->addAction(QStringLiteral("&Feedback and Support")), &QAction::triggered, this,
          openHelpPage);
  connect(helpMenu_->addAction(QStringLiteral("Home&page")), &QAction::triggered, this,
          openHelpPage);
  connect(helpMenu_->addAction(QStringLiteral("&Check Latest Version")), &QAction::triggered, this,
          openHelpPage);
  helpMenu_->addSeparator();
  connect(helpMenu_->addAction(QStringLiteral("&About...")), &QAction::triggered, this,
          [this] { About(); });
  content_->layout()->setMenuBar(bar);
}

void CMainDlg::FillFormatBox() {
  int selected = -1;
  for (const OutputFormatRow& row : OutputFormatTable()) {
    formatBox_->addItem(QString::fromStdString(OutputFormatItemText(row)), row.code);
    // Every item of the stored code is selected as it comes, so the last one wins.
    if (row.code == settings_.OutputFormat) selected = formatBox_->count() - 1;
  }
  if (selected < 0) {
    selected = formatBox_->count() > 0 ? 0 : -1;
    settings_.OutputFormat = selected >= 0 ? formatBox_->itemData(0).toInt() : kOutputMp3;
  }
  formatBox_->setCurrentIndex(selected);
  connect(formatBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.OutputFormat = index >= 0 ? formatBox_->itemData(index).toInt() : kOutputMp3;
  });
}

std::unique_ptr<QMenu> CMainDlg::CreateContextMenu() {
  auto menu = std::make_unique<QMenu>(this);
  const std::vector<int> selected = SelectedRows();
  const bool any = !files_.Empty();
  const bool some = !selected.empty();
  const bool one = selected.size() == 1;
  const bool hasTarget = one && !files_.Entry(selected.front()).TargetPath.empty();

  const auto add = [&](const char* text, bool enabled, void (CMainDlg::*command)()) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setEnabled(enabled);
    // Queued: the command runs once the menu has closed, not inside its event loop.
    connect(
        action, &QAction::triggered, this, [this, command] { (this->*command)(); },
        Qt::QueuedConnection);
  };
  add("&Play Source", one, &CMainDlg::PlaySource);
  add("Play &Destination", hasTarget, &CMainDlg::PlayDestination);
  menu->addSeparator();
  add("&Convert Selected", some, &CMainDlg::ConvertSelected);
  add("Convert All", any, &CMainDlg::Convert);
  menu->addSeparator();
  add("Browse &Source Folder", one, &CMainDlg::BrowseSourceFolder);
  add("Browse Destination &Folder", hasTarget, &CMainDlg::BrowseDestinationFolder);
  menu->addSeparator();
  add("&Add Files...\tCtrl+O", true, &CMainDlg::AddFiles);
  add("Add F&older", true, &CMainDlg::AddFolder);
  add("&Remove\tDel", some, &CMainDlg::Remove);
  add("Remove Al&l", any, &CMainDlg::RemoveAll);
  return menu;
}

void CMainDlg::ShowContextMenu(const QPoint& globalPos) {
  if (Busy()) return;
  const std::unique_ptr<QMenu> menu = CreateContextMenu();
  menu->exec(globalPos);
}

void CMainDlg::SortByColumn(int column) {
  if (Busy()) return;
  model_->SortBy(column);
}

std::vector<int> CMainDlg::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

int CMainDlg::FirstSelectedRow() const {
  const std::vector<int> rows = SelectedRows();
  return rows.empty() ? -1 : rows.front();
}

void CMainDlg::ShowInformation(const char* text) {
  services_.showMessage(this, QMessageBox::Information, QString::fromUtf8(text));
}

// ---- Adding files ----

void CMainDlg::AddFiles() {
  if (Busy()) return;
  const BusyScope busy(*this);
  const QStringList chosen = services_.chooseFiles(this);
  if (chosen.isEmpty()) return;
  PumpMessages();
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(PathFromQt(path));
  LoadPaths(paths, OpenIntakeProgress());
  CloseIntakeProgress();
}

void CMainDlg::AddFolder() {
  if (Busy()) return;
  const BusyScope busy(*this);
  QString start = PathToQt(settings_.Folder);
  if (start.size() > 1 && start.endsWith('/')) start.chop(1);
  const QString chosen = services_.chooseFolder(this, start);
  if (chosen.isEmpty()) return;
  std::string folder = PathFromQt(chosen);
  if (folder.back() != '/') folder += '/';
  settings_.Folder = folder;
  SaveSettings(settings_, kSaveFolder);
  PumpMessages();

  CProgressDlg& progress = OpenIntakeProgress();
  progress.SetLine(kSearchingFilesText);
  progress.PumpMessages();
  const std::vector<std::string> paths = CollectDroppedPaths(
      {folder}, settings_.EnableExtFilter != 0, settings_.ExtensionFilter, &progress);
  // Cancel during the search means the user no longer wants these files.
  if (!paths.empty() && !progress.CancelRequested()) LoadPaths(paths, progress);
  CloseIntakeProgress();
}

void CMainDlg::AddDroppedItems(const std::vector<std::string>& items) {
  if (Busy() || items.empty()) return;
  const BusyScope busy(*this);
  CProgressDlg& progress = OpenIntakeProgress();
  progress.SetLine(kSearchingFilesText);
  progress.PumpMessages();
  const std::vector<std::string> paths = CollectDroppedPaths(items, settings_.EnableExtFilter != 0,
                                                             settings_.ExtensionFilter, &progress);
  if (!paths.empty() && !progress.CancelRequested()) LoadPaths(paths, progress);
  CloseIntakeProgress();
}

void CMainDlg::LoadPaths(const std::vector<std::string>& paths, CProgressDlg& progress) {
  if (helper_ && helper_->EnsureStarted()) {
    LoadPathsInWorkers(paths, progress);
  } else {
    LoadFileList(files_, paths, progress, *this, services_.factory);
  }
}

void CMainDlg::LoadPathsInWorkers(const std::vector<std::string>& paths, CProgressDlg& progress) {
  // Paths already listed are not probed again; the others go to the probe workers at once
  // and their answers are taken in list order as they come.
  ProbeRequest request;
  request.parallel = EffectiveFilesAtOnce(settings_);
  request.silenceLimit = services_.probeSilenceLimit;
  std::vector<size_t> requestIndex(paths.size(), SIZE_MAX);
  for (size_t i = 0; i < paths.size(); ++i) {
    if (files_.Contains(paths[i])) continue;
    requestIndex[i] = request.paths.size();
    request.paths.push_back(paths[i]);
  }
  std::vector<std::optional<ProbeReport>> reports(request.paths.size());
  bool ended = request.paths.empty();
  if (!ended) helper_->Send(RequestLines(request));
  const auto take = [&](std::chrono::milliseconds wait) {
    const std::optional<HelperEvent> event = helper_->NextEvent(wait);
    if (!event) {
      ended = ended || helper_->Ended();
      return;
    }
    if (event->kind == HelperEvent::Kind::kEnd) ended = true;
    if (event->kind == HelperEvent::Kind::kProbed && event->index < reports.size()) {
      reports[event->index] = event->probe;
    }
  };
  const PathProbe probe = [&](size_t i, std::string& note) -> std::optional<SourceFile> {
    const size_t r = requestIndex[i];
    if (r >= reports.size()) return std::nullopt;
    while (!reports[r] && !ended && !progress.CancelRequested())
      take(std::chrono::milliseconds(100));
    // A probe the helper never answered (it went away) failed like one that crashed.
    if (!reports[r] || !reports[r]->opened) {
      if (reports[r] && !reports[r]->note.empty()) note = reports[r]->note;
      return std::nullopt;
    }
    SourceFile file = reports[r]->file;
    file.SourcePath = paths[i];
    file.InputType = InputTypeForPath(paths[i]);
    return file;
  };
  LoadFileList(files_, paths, progress, *this, services_.factory, probe);
  if (!ended) {
    helper_->SendCancel();
    while (!ended) take(std::chrono::milliseconds(100));
  }
}

CProgressDlg& CMainDlg::OpenIntakeProgress() {
  intakeProgress_ = std::make_unique<CProgressDlg>(this);
  intakeProgress_->show();
  intakeProgress_->raise();
  return *intakeProgress_;
}

void CMainDlg::CloseIntakeProgress() {
  intakeProgress_.reset();
  PumpMessages();
}

// ---- Removing files ----

void CMainDlg::Remove() {
  if (Busy()) return;
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    ShowInformation(kSelectFileFirstText);
    return;
  }
  model_->Remove(rows);
}

void CMainDlg::RemoveAll() {
  if (Busy()) return;
  if (files_.Empty()) {
    ShowInformation(kNoFilesInListText);
    return;
  }
  model_->Clear();
}

// ---- Converting ----

void CMainDlg::Convert() {
  if (Busy()) return;
  if (files_.Empty()) {
    ShowInformation(kNoFilesInListText);
    return;
  }
  std::vector<int> rows(static_cast<size_t>(files_.Count()));
  for (int i = 0; i < files_.Count(); ++i) rows[static_cast<size_t>(i)] = i;
  Run(rows);
}

void CMainDlg::ConvertSelected() {
  if (Busy()) return;
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    ShowInformation(kSelectFileFirstText);
    return;
  }
  Run(rows);
}

void CMainDlg::Run(const std::vector<int>& rows) {
  const BusyScope busy(*this);
  // The list cannot change while busy, so the entries stay where they are for the run.
  std::vector<SourceFile*> entries;
  entries.reserve(rows.size());
  for (const int row : rows) entries.push_back(&files_.Entry(row));
  runRows_ = rows;
  // The options as they stand now hold for the whole run, whatever the sheet saves meanwhile.
  const Settings snapshot = settings_;
  FileLoop loop;
  if (helper_) {
    loop =
        WorkerFileLoop(*helper_, {EffectiveFilesAtOnce(snapshot), services_.conversionSilenceLimit},
                       services_.run);
  }
  ConvertFiles(entries, rows, snapshot, runState_, *this, services_.run, loop);
  runRows_.clear();
}

// ---- Opening files ----

void CMainDlg::PlaySource() {
  if (Busy()) return;
  const int row = FirstSelectedRow();
  if (row >= 0) OpenWithShell(files_.Entry(row).SourcePath);
}

void CMainDlg::PlayDestination() {
  if (Busy()) return;
  const int row = FirstSelectedRow();
  if (row >= 0 && !files_.Entry(row).TargetPath.empty()) {
    OpenWithShell(files_.Entry(row).TargetPath);
  }
}

void CMainDlg::BrowseSourceFolder() {
  if (Busy()) return;
  const int row = FirstSelectedRow();
  if (row >= 0) Browse(files_.Entry(row).SourcePath);
}

void CMainDlg::BrowseDestinationFolder() {
  if (Busy()) return;
  const int row = FirstSelectedRow();
  if (row >= 0 && !files_.Entry(row).TargetPath.empty()) Browse(files_.Entry(row).TargetPath);
}

void CMainDlg::HelpTopics() {
  OpenWithShell(services_.programFolder + kHelpFileName);
}

void CMainDlg::About() {
  if (Busy()) return;
  QMessageBox::about(this, QStringLiteral("About Sonorell"),
                     QStringLiteral("<b>Sonorell</b> %1<br><br>A batch audio converter.<br><br>"
                                    "This program uses the LAME MP3 encoder (lame.sourceforge.io).")
                         .arg(QCoreApplication::applicationVersion().toHtmlEscaped()));
}

void CMainDlg::OpenOptions() {
  OptionServices options = services_.options;
  options.showMessage = services_.showMessage;
  options.openWithShell = [this](const std::string& path) { OpenWithShell(path); };
  options.wmaProfiles = [this] {
    // The WMA page offers what the runtime can write; without it, only "Auto".
    if (!CheckWindowsMediaRuntime(*this, services_.run)) return WmaProfileList();
    if (SharedWmaProfileList().Empty() && services_.run.fillWmaProfileList) {
      services_.run.fillWmaProfileList();
    }
    return SharedWmaProfileList();
  };
  RunOptionsSheet(this, settings_, options);
}

// ---- Window events ----

void CMainDlg::keyPressEvent(QKeyEvent* event) {
  // Enter and Esc do nothing here: the window closes only on a close request.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
      event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    event->ignore();
    CancelBusyWork();
    return;
  }
  QDialog::closeEvent(event);
}

void CMainDlg::CancelBusyWork() {
  if (convertProgress_) {
    convertProgress_->CancelButton()->click();
  } else if (intakeProgress_) {
    intakeProgress_->CancelButton()->click();
  }
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!Busy() && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CMainDlg::dragMoveEvent(QDragMoveEvent* event) {
  if (!Busy() && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CMainDlg::dropEvent(QDropEvent* event) {
  if (Busy()) {
    event->ignore();
    return;
  }
  std::vector<std::string> items;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) items.push_back(PathFromQt(url.toLocalFile()));
  }
  event->acceptProposedAction();
  // The drag source is let go first; the search and probing run after the drop returns.
  if (!items.empty()) {
    QTimer::singleShot(0, this, [this, items] { AddDroppedItems(items); });
  }
}

// ---- What intake and runs ask of the window ----

void CMainDlg::SetMainWindowEnabled(bool enabled) {
  content_->setEnabled(enabled);
}

void CMainDlg::RowAdded(int row) {
  model_->RowsAppended();
  list_->scrollTo(model_->index(row, 0));
}

void CMainDlg::ShowWarning(const std::string& text) {
  // The intake is over when it reports: its window leaves before the message comes.
  if (intakeProgress_) intakeProgress_->hide();
  services_.showMessage(this, QMessageBox::Warning, QString::fromStdString(text));
}

void CMainDlg::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void CMainDlg::SetRowStatus(int row, const std::string& text) {
  files_.SetStatus(row, text);
  model_->RowChanged(row);
}

void CMainDlg::EnsureRowVisible(int row) {
  list_->scrollTo(model_->index(row, 0));
}

void CMainDlg::SetStatusColumnWidth(int pixels) {
  list_->header()->resizeSection(kColumnStatus, pixels);
}

bool CMainDlg::AskYesNo(const std::string& question) {
  return services_.askYesNo(this, QString::fromStdString(question));
}

void CMainDlg::OpenWithShell(const std::string& addressOrPath) {
  services_.openWithShell(addressOrPath, ReportIfFailed(OpenFailureText(addressOrPath)));
}

void CMainDlg::Browse(const std::string& path) {
  services_.selectInFileBrowser(path, ReportIfFailed(BrowseFailureText(path)));
}

DesktopAnswer CMainDlg::ReportIfFailed(std::string text) {
  return [window = QPointer<CMainDlg>(this), text = std::move(text)](bool done) {
    if (done || !window) return;
    // A message in the middle of adding or converting would stop that work while it is
    // open: it waits until the work is over.
    window->heldWarnings_.push_back(text);
    if (!window->Busy()) window->ShowHeldWarnings();
  };
}

void CMainDlg::ShowHeldWarnings() {
  const std::vector<std::string> texts = std::exchange(heldWarnings_, {});
  for (const std::string& text : texts) {
    // Over the dialog the user is in, when one is open (the option sheet).
    QWidget* modal = QApplication::activeModalWidget();
    services_.showMessage(modal ? modal : this, QMessageBox::Warning, QString::fromStdString(text));
  }
}

void CMainDlg::SelectInFileBrowser(const std::string& path) {
  // The first converted file is also the row the user finds selected in the list.
  for (const int row : runRows_) {
    if (row < files_.Count() && files_.Entry(row).TargetPath == path) {
      list_->selectionModel()->select(
          model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      list_->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                               QItemSelectionModel::NoUpdate);
      list_->scrollTo(model_->index(row, 0));
      break;
    }
  }
  Browse(path);
}

std::unique_ptr<ConvertProgress> CMainDlg::OpenConvertProgress() {
  convertProgress_ = std::make_unique<CConvertProgressDlg>(this);
  convertProgress_->show();
  convertProgress_->raise();
  return std::make_unique<ForwardingProgress>(*convertProgress_,
                                              [this] { convertProgress_.reset(); });
}

}  // namespace sonorell
