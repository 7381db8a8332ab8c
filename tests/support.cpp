#include "tests/support.h"

#include <cstdlib>

#include "wave/errors.h"

namespace mv::test {

bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.text();
  }
  return "(no error)";
}

::testing::AssertionResult IsFinishedWave(const std::string& path) {
  const Bytes b = ReadBytes(path);
  if (b.size() < 44) return ::testing::AssertionFailure() << path << " is shorter than a header";
  if (std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 36, b.begin() + 40) != "data")
    return ::testing::AssertionFailure() << path << " lacks RIFF or data";
  if (Get32(b, 4) != b.size() - 8 || Get32(b, 40) != b.size() - 44)
    return ::testing::AssertionFailure()
           << path << " sizes " << Get32(b, 4) << "/" << Get32(b, 40) << " for " << b.size() << " bytes";
  return ::testing::AssertionSuccess();
}

int RecordingHost::count(const std::string& prefix) const {
  return static_cast<int>(only(prefix).size());
}

std::vector<std::string> RecordingHost::only(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& e : events)
    if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
  return out;
}

}  // namespace mv::test
