#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "engine/jobs/conversion_job.h"
#include "engine/jobs/file_intake.h"
#include "engine/jobs/file_list.h"
#include "settings/settings.h"
#include "ui/main_window_services.h"

class QComboBox;
class QMenu;
class QPushButton;
class QTreeView;

namespace sonorell {

class CConvertProgressDlg;
class CProgressDlg;
class FileListModel;
class WorkerHelper;

// The program's one window: the file list, the output-format box and the commands that add,
// remove and convert files. It owns the settings, the list and the run state for the life of
// the process. While files are added or converted it is busy: it refuses every command and
// drop, and a close request becomes Cancel of the progress window on screen.
class CMainDlg : public QDialog, private IntakeHost, private RunHost {
 public:
  explicit CMainDlg(MainWindowServices services = DefaultMainWindowServices(),
                    QWidget* parent = nullptr);
  ~CMainDlg() override;
  CMainDlg(const CMainDlg&) = delete;
  CMainDlg& operator=(const CMainDlg&) = delete;

  // Commands, as the buttons, the menus and the keys give them.
  void AddFiles();
  void AddFolder();
  // Files and folders dropped on the window (folders are searched with their whole tree).
  void AddDroppedItems(const std::vector<std::string>& items);
  void Remove();
  void RemoveAll();
  void Convert();
  void ConvertSelected();
  void PlaySource();
  void PlayDestination();
  void BrowseSourceFolder();
  void BrowseDestinationFolder();
  void HelpTopics();
  void About();
  // The option sheet; the one place the Options button and later pages hook in.
  virtual void OpenOptions();

  // The list's context menu with the commands enabled for the list and selection as they
  // are now. The caller shows and releases it.
  std::unique_ptr<QMenu> CreateContextMenu();

  bool Busy() const { return busy_ > 0; }
  Settings& CurrentSettings() { return settings_; }
  const FileList& Files() const { return files_; }
  QTreeView* ListView() const { return list_; }
  QComboBox* FormatBox() const { return formatBox_; }
  // The progress window of the intake or run under way, or null.
  CProgressDlg* IntakeProgressWindow() const { return intakeProgress_.get(); }
  CConvertProgressDlg* ConvertProgressWindow() const { return convertProgress_.get(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class BusyScope;

  // IntakeHost and RunHost: what intake and a run ask of the window.
  void SetMainWindowEnabled(bool enabled) override;
  void RowAdded(int row) override;
  void ShowWarning(const std::string& text) override;
  void SetWaitCursor(bool on) override;
  void SetRowStatus(int row, const std::string& text) override;
  void EnsureRowVisible(int row) override;
  void SetStatusColumnWidth(int pixels) override;
  bool AskYesNo(const std::string& question) override;
  void OpenWithShell(const std::string& addressOrPath) override;
  void SelectInFileBrowser(const std::string& path) override;
  std::unique_ptr<ConvertProgress> OpenConvertProgress() override;

  void BuildControls();
  void BuildMenus();
  void FillFormatBox();
  void ShowInformation(const char* text);
  void ShowContextMenu(const QPoint& globalPos);
  void SortByColumn(int column);
  std::vector<int> SelectedRows() const;
  // The topmost selected row, or -1.
  int FirstSelectedRow() const;
  // Shows the file selected in the file browser; a failure is reported.
  void Browse(const std::string& path);
  // What the desktop answers when something asked of it failed: text is shown, or held
  // until the window is no longer busy.
  DesktopAnswer ReportIfFailed(std::string text);
  void ShowHeldWarnings();
  void LoadPaths(const std::vector<std::string>& paths, CProgressDlg& progress);
  // Intake with the probes in the helper's workers, several at once.
  void LoadPathsInWorkers(const std::vector<std::string>& paths, CProgressDlg& progress);
  CProgressDlg& OpenIntakeProgress();
  void CloseIntakeProgress();
  void Run(const std::vector<int>& rows);
  // A close request while busy: the Cancel of whichever progress window is on screen.
  void CancelBusyWork();

  MainWindowServices services_;
  Settings settings_;
  FileList files_;
  RunState runState_;
  int busy_ = 0;
  std::vector<int> runRows_;
  std::vector<std::string> heldWarnings_;  // desktop failures that came while busy

  QWidget* content_ = nullptr;  // every control; disabled while busy
  QTreeView* list_ = nullptr;
  FileListModel* model_ = nullptr;
  QComboBox* formatBox_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  WorkerHelper* helper_ = nullptr;  // a child of the window; null without a helper
  std::unique_ptr<CProgressDlg> intakeProgress_;
  std::unique_ptr<CConvertProgressDlg> convertProgress_;
};

}  // namespace sonorell
