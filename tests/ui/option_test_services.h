#pragma once

#include <QDir>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"
#include "ui/option_services.h"

namespace sonorell::testing {

// What the option windows showed and asked for, in place of the real dialogs.
struct OptionDesktop {
  struct Message {
    QMessageBox::Icon icon;
    QString text;
  };
  std::vector<Message> messages;
  std::vector<std::string> opened;
  QString folderTitle;
  QString folderStart;
  QString folderToChoose;  // what the folder browser answers; empty = Cancel
  int tagEdits = 0;
  bool tagEditShowCopyright = false;
  // What the tag dialog does with the page's copy; nullptr = Cancel.
  std::function<void(TagDefaults&)> tagEdit;
  WmaProfileList wmaList;
  int wmaListRequests = 0;

  QString LastMessage() const { return messages.empty() ? QString() : messages.back().text; }
};

inline OptionServices ServicesFor(OptionDesktop& d) {
  OptionServices s;
  s.showMessage = [&d](QWidget*, QMessageBox::Icon icon, const QString& text) {
    d.messages.push_back({icon, text});
  };
  s.openWithShell = [&d](const std::string& p) { d.opened.push_back(p); };
  s.chooseFolder = [&d](QWidget*, const QString& title, const QString& start) {
    d.folderTitle = title;
    d.folderStart = start;
    return d.folderToChoose;
  };
  s.editTags = [&d](QWidget*, TagDefaults& tags, bool showCopyright) {
    ++d.tagEdits;
    d.tagEditShowCopyright = showCopyright;
    if (!d.tagEdit) return false;
    d.tagEdit(tags);
    return true;
  };
  s.wmaProfiles = [&d] {
    ++d.wmaListRequests;
    return d.wmaList;
  };
  return s;
}

// A fresh per-user store for the life of the object: HOME and XDG_CONFIG_HOME point into a
// temporary folder, and are put back afterwards.
class ProfileScope {
 public:
  ProfileScope()
      : savedHome_(qEnvironmentVariable("HOME")),
        savedConfig_(qEnvironmentVariable("XDG_CONFIG_HOME")) {
    std::filesystem::create_directories(folder_ / "home");
    qputenv("HOME", QByteArray::fromStdString(folder_ / "home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder_ / "config"));
  }
  ~ProfileScope() {
    qputenv("HOME", savedHome_.toUtf8());
    if (savedConfig_.isEmpty()) {
      qunsetenv("XDG_CONFIG_HOME");
    } else {
      qputenv("XDG_CONFIG_HOME", savedConfig_.toUtf8());
    }
  }
  ProfileScope(const ProfileScope&) = delete;
  ProfileScope& operator=(const ProfileScope&) = delete;

  // The file the options key lives in, to compare its bytes.
  std::string OptionsFile() const { return folder_ / "config/Quillmark/Sonorell/Options.reg"; }

 private:
  TempFolder folder_;
  QString savedHome_;
  QString savedConfig_;
};

// The settings as the program would load them from the store now.
inline Settings StoredSettings() {
  Settings s = CreateDefaultSettings();
  LoadSettings(s);
  return s;
}

// Saves a picture of a window into the screenshot folder the test run names, if any.
inline void SaveWindowScreenshot(QWidget& window, const QString& name) {
  const QString dir = qEnvironmentVariable("SONORELL_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  window.grab().save(dir + "/" + name + ".png");
}

}  // namespace sonorell::testing
