#pragma once
// The one exception type through which the engines raise the texts of the
// message table (wave/messages.h, included here for them).

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "wave/messages.h"

namespace mv {

namespace detail {
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args);
}

// A message pattern with its "%s" filled in turn, one argument each; a "%s"
// inside an argument stays as it is.
template <class... More>
std::string format(std::string_view pattern, std::string_view arg, const More&... more) {
  return detail::fill(pattern, {arg, std::string_view(more)...});
}

class Error : public std::runtime_error {
 public:
  // A general error is shown in the application's report (title caption,
  // "." appended); the others in a box captioned "Error" exactly as written.
  enum class Kind { General, Box };

  Error(Kind kind, std::string text) : std::runtime_error(text), kind_(kind) {}
  Kind kind() const { return kind_; }
  bool general() const { return kind_ == Kind::General; }
  std::string text() const { return what(); }
  // The text as the window shows it: the general report adds "." to a text
  // whose last character sorts after ".".
  std::string shownText() const;
  std::string_view caption() const {
    return general() ? msg::kAppTitle : msg::kErrorCaption;
  }

 private:
  Kind kind_;
};

[[noreturn]] void raise(std::string_view text);          // general report
[[noreturn]] void raise(std::string_view pattern, std::string_view arg);
[[noreturn]] void refuse(std::string_view text);         // "Error" box

// The general report's rule, shared by every front end.
std::string withReportDot(std::string text);

}  // namespace mv
