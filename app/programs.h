#pragma once
// The desktop's volume control and CD player, started detached: the first of
// a list that is installed.

#include <QString>
#include <QStringList>
#include <vector>

namespace mv {

using CommandLine = QStringList;  // program, then its arguments

extern const std::vector<CommandLine> kVolumeControls;
extern const std::vector<CommandLine> kCdPlayers;

// The first command whose program is on PATH; empty when none is.
CommandLine FirstInstalled(const std::vector<CommandLine>& candidates);
// Starts it detached; false when nothing could be started.
bool StartFirstInstalled(const std::vector<CommandLine>& candidates);
// The programs of the list, "a, b, c", as a message names them.
QString ProgramNames(const std::vector<CommandLine>& candidates);

}  // namespace mv
