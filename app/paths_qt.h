#pragma once
// File names between the window's texts and the engines' byte strings.

#include <QFile>
#include <QString>
#include <string>

namespace mv {

inline std::string ToPath(const QString& name) { return QFile::encodeName(name).toStdString(); }
inline QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace mv
