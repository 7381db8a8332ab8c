#pragma once
// Texts between the window and the engines: file names as byte strings,
// messages as UTF-8, and the temporary folder as a folder text.

#include <QDir>
#include <QFile>
#include <QString>
#include <string>
#include <string_view>

#include "wave/paths.h"

namespace mv {

inline std::string ToPath(const QString& name) { return QFile::encodeName(name).toStdString(); }
inline QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
inline QString FromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
// QDir::tempPath() (it honours TMPDIR) without a trailing "/".
inline std::string TempFolderPath() { return FolderText(ToPath(QDir::tempPath())); }

}  // namespace mv
