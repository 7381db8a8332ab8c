#pragma once
// morvane-cli record: a timed recording from the default sound input.

#include <string>

namespace mv::cli {

struct RecordOptions {
  std::string out;              // folder of morvntmp.wav
  std::string length = "0:00:10";
  std::string format;           // default: the first label the input offers
  bool yes = false;
};

int RunRecord(const RecordOptions& o, int argc, char** argv);

}  // namespace mv::cli
