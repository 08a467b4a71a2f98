#include "ui/single_instance.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <filesystem>
#include <memory>

namespace sonorell {
namespace {

constexpr int kWaitMs = 2000;
// Paths travel as UTF-8 bytes, each ended by a zero byte (no path holds one).
constexpr char kEnd = '\0';

}  // namespace

QString SingleInstance::SocketName() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  const QString name = QStringLiteral("sonorell-%1.socket").arg(::getuid());
  return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

bool SingleInstance::HandOver(const std::vector<std::string>& paths) {
  QLocalSocket socket;
  socket.connectToServer(SocketName());
  if (!socket.waitForConnected(kWaitMs)) return false;
  QByteArray message;
  for (const std::string& path : paths) {
    message.append(path.data(), static_cast<qsizetype>(path.size()));
    message.append(kEnd);
  }
  if (!message.isEmpty()) {
    socket.write(message);
    if (!socket.waitForBytesWritten(kWaitMs)) return false;
  }
  socket.disconnectFromServer();
  return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(kWaitMs);
}

bool SingleInstance::Listen(std::function<void(std::vector<std::string>)> take) {
  take_ = std::move(take);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = SocketName();
  // A window that answers keeps the name; a socket nobody answers on was left by a window
  // that crashed, and is taken over. (The check comes first: listening with access options
  // would replace a live window's socket.)
  QLocalSocket probe;
  probe.connectToServer(name);
  if (probe.waitForConnected(kWaitMs / 10)) return false;
  QLocalServer::removeServer(name);
  if (!server_->listen(name)) return false;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      auto buffer = std::make_shared<QByteArray>();
      connect(socket, &QLocalSocket::readyRead, socket,
              [socket, buffer] { buffer->append(socket->readAll()); });
      connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        std::vector<std::string> paths;
        for (const QByteArray& part : buffer->split(kEnd)) {
          if (!part.isEmpty()) paths.emplace_back(part.constData(), part.size());
        }
        socket->deleteLater();
        // An empty list is a start without files: the window only comes to the front.
        if (take_) take_(std::move(paths));
      });
    }
  });
  return true;
}

std::vector<std::string> PathArguments(const std::vector<std::string>& arguments) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const std::string& argument : arguments) {
    if (argument.empty()) continue;
    const std::filesystem::path path(argument);
    paths.push_back(path.is_absolute() ? argument
                                       : (std::filesystem::current_path(ec) / path).string());
  }
  return paths;
}

}  // namespace sonorell
