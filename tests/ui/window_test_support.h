#pragma once

#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "ui/main_dlg.h"

// What the tests of the main window share: screenshots, generated WAV files, a desktop that
// records what the window showed and asked, and the list's cells.
namespace sonorell::testing {

inline const std::string kSamples = SONORELL_SAMPLES_DIR;

inline void SaveScreenshot(QWidget& window, const QString& name) {
  const QString dir = qEnvironmentVariable("SONORELL_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  window.grab().save(dir + "/" + name + ".png");
}

// The whole screen, for moments when the progress window stands over the main window.
inline void SaveScreenScreenshot(const QString& name) {
  const QString dir = qEnvironmentVariable("SONORELL_SCREENSHOT_DIR");
  if (dir.isEmpty() || !QGuiApplication::primaryScreen()) return;
  QDir().mkpath(dir);
  QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + name + ".png");
}

// A PCM WAV file of 16-bit samples (a quiet ramp), so tests have decodable files of their own.
inline void WriteWav(const std::string& path, int rate, int channels, int seconds) {
  const uint32_t frames = static_cast<uint32_t>(rate * seconds);
  const uint32_t dataBytes = frames * static_cast<uint32_t>(channels) * 2;
  std::string bytes;
  const auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  const auto u16 = [&](uint32_t v) {
    for (int i = 0; i < 2; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  bytes += "RIFF";
  u32(36 + dataBytes);
  bytes += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<uint32_t>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<uint32_t>(channels * 2));
  u16(16);
  bytes += "data";
  u32(dataBytes);
  for (uint32_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) u16(static_cast<uint16_t>((f % 200) * 20));
  }
  WriteFileBytes(path, bytes);
}

// What the window showed and asked of the desktop, in place of the real dialogs.
struct Desktop {
  struct Message {
    QMessageBox::Icon icon;
    QString text;
  };
  std::vector<Message> messages;
  std::vector<std::string> opened;
  std::vector<std::string> browsed;
  // What the opener and the file browser answer (at once).
  bool desktopFails = false;
  QStringList filesToChoose;
  QString folderToChoose;
  QString folderDialogStart;
  std::function<void()> onMessage;
};

inline MainWindowServices ServicesFor(Desktop& desktop) {
  MainWindowServices s = DefaultMainWindowServices();
  s.showMessage = [&desktop](QWidget*, QMessageBox::Icon icon, const QString& text) {
    desktop.messages.push_back({icon, text});
    if (desktop.onMessage) desktop.onMessage();
  };
  s.askYesNo = [](QWidget*, const QString&) { return false; };
  s.openWithShell = [&desktop](const std::string& p, const DesktopAnswer& answered) {
    desktop.opened.push_back(p);
    answered(!desktop.desktopFails);
  };
  s.selectInFileBrowser = [&desktop](const std::string& p, const DesktopAnswer& answered) {
    desktop.browsed.push_back(p);
    answered(!desktop.desktopFails);
  };
  s.chooseFiles = [&desktop](QWidget*) { return desktop.filesToChoose; };
  s.chooseFolder = [&desktop](QWidget*, const QString& start) {
    desktop.folderDialogStart = start;
    return desktop.folderToChoose;
  };
  return s;
}

inline QString Cell(CMainDlg& window, int row, int column) {
  return window.ListView()->model()->index(row, column).data().toString();
}

}  // namespace sonorell::testing
