#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace sonorell {

// File names are bytes on this system; Qt's own conversion keeps them intact both ways,
// even for names that are not valid UTF-8.
inline std::string PathFromQt(const QString& path) {
  return QFile::encodeName(path).toStdString();
}
inline QString PathToQt(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace sonorell
