#include "app/programs.h"

#include <QProcess>
#include <QStandardPaths>

namespace mv {

const std::vector<CommandLine> kVolumeControls = {
    {"pavucontrol"}, {"pwvucontrol"}, {"gnome-control-center", "sound"}, {"kmix"}, {"xfce4-mixer"}};
const std::vector<CommandLine> kCdPlayers = {{"kscd"}, {"gnome-cd"}, {"vlc", "cdda://"}};

CommandLine FirstInstalled(const std::vector<CommandLine>& candidates) {
  for (const CommandLine& c : candidates)
    if (!QStandardPaths::findExecutable(c.first()).isEmpty()) return c;
  return {};
}

bool StartFirstInstalled(const std::vector<CommandLine>& candidates) {
  const CommandLine c = FirstInstalled(candidates);
  if (c.isEmpty()) return false;
  return QProcess::startDetached(c.first(), c.mid(1));
}

QString ProgramNames(const std::vector<CommandLine>& candidates) {
  QStringList names;
  for (const CommandLine& c : candidates) names << c.first();
  return names.join(QStringLiteral(", "));
}

}  // namespace mv
