#pragma once
// JSON strings of names, valid whatever bytes a name holds.

#include <string>

namespace mv::cli {

// A JSON string: valid UTF-8 as it is, control characters escaped, and each
// byte that is not part of valid UTF-8 as U+FFFD.
std::string JsonString(const std::string& text);
// The exact bytes as lowercase hex, two digits a byte, so that a name shown
// with U+FFFD can still be recovered.
std::string HexBytes(const std::string& text);

}  // namespace mv::cli
