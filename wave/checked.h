#pragma once
// 32-bit arithmetic that raises the general error report instead of wrapping:
// sizes, counts, lengths and sample values are signed 32-bit throughout.

#include <cstdint>
#include <limits>
#include <utility>
#include <string>

#include "wave/errors.h"

namespace mv {

inline int32_t add32(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) raise(msg::kOverflow);
  return r;
}
inline int32_t sub32(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) raise(msg::kOverflow);
  return r;
}
inline int32_t mul32(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) raise(msg::kOverflow);
  return r;
}
inline int32_t div32(int32_t a, int32_t b) {
  if (b == 0) raise(msg::kDivByZero);
  if (a == std::numeric_limits<int32_t>::min() && b == -1) raise(msg::kOverflow);
  return a / b;
}

// A store into a narrower field.
template <typename To, typename From>
To narrow(From v) {
  if (!std::in_range<To>(v)) raise(msg::kRangeError);
  return static_cast<To>(v);
}

// Reads a caption back as an integer: optional blanks, a sign, then decimal
// digits or "$" and hex digits; anything else is not an integer.
int32_t toInt(const std::string& text);

}  // namespace mv
