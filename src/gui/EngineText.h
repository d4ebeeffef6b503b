#pragma once
// The engine speaks std::string: catalogue texts and messages in UTF-8, file
// names in the system's 8-bit encoding, as the file layer takes them.

#include <QFile>
#include <QString>
#include <string>

inline QString FromEngineText(const std::string& text) {
  return QString::fromStdString(text);
}
inline QString FromFileName(const std::string& name) {
  return QFile::decodeName(name.c_str());
}
inline std::string ToFileName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}
