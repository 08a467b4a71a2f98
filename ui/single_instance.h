#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;

namespace sonorell {

// One window per user: a start while a window is open hands its files (perhaps none) to
// that window over a local socket in the user's runtime folder, and ends.
class SingleInstance : public QObject {
 public:
  // The socket's name for this user (a path in $XDG_RUNTIME_DIR, else a name of the uid).
  static QString SocketName();

  // Sends the paths (none: the window comes to the front) to a running window. True when
  // one took them.
  static bool HandOver(const std::vector<std::string>& paths);

  // Becomes the window others hand their files to; received lists go to take. False when
  // the socket cannot be set up (the window works on alone).
  bool Listen(std::function<void(std::vector<std::string>)> take);

 private:
  QLocalServer* server_ = nullptr;
  std::function<void(std::vector<std::string>)> take_;
};

// The arguments of the desktop program that name files and folders, made absolute against
// the current folder (a second start may run elsewhere than the window).
std::vector<std::string> PathArguments(const std::vector<std::string>& arguments);

}  // namespace sonorell
