#include <gtest/gtest.h>

#include <limits>

#include "wave/checked.h"
#include "tests/support.h"
#include "wave/errors.h"

namespace mv {
namespace {

using test::ErrorOf;

TEST(Checked, RaisesTheArithmeticMessages) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(ErrorOf([] { add32(kMax, 1); }), msg::kOverflow);
  EXPECT_EQ(ErrorOf([] { sub32(-kMax, 2); }), msg::kOverflow);
  EXPECT_EQ(ErrorOf([] { mul32(46341, 46341); }), msg::kOverflow);
  EXPECT_EQ(ErrorOf([] { div32(5, 0); }), msg::kDivByZero);
  EXPECT_EQ(ErrorOf([] { narrow<int16_t>(32768); }), msg::kRangeError);
  EXPECT_EQ(ErrorOf([] { narrow<int32_t>(int64_t{1} << 31); }), msg::kRangeError);
  EXPECT_EQ(mul32(46340, 46340), 2147395600);
  EXPECT_EQ(narrow<int16_t>(-32768), -32768);
}

TEST(Checked, ReadsCaptionsAsIntegers) {
  EXPECT_EQ(toInt("-123"), -123);
  EXPECT_EQ(toInt("  42"), 42);
  EXPECT_EQ(toInt("$10"), 16);
  EXPECT_EQ(toInt("2147483647"), 2147483647);
  EXPECT_EQ(ErrorOf([] { toInt("1.5"); }), format(msg::kNotInteger, "1.5"));
  EXPECT_EQ(ErrorOf([] { toInt(""); }), format(msg::kNotInteger, ""));
  EXPECT_EQ(ErrorOf([] { toInt("12 "); }), format(msg::kNotInteger, "12 "));
  EXPECT_EQ(ErrorOf([] { toInt("2147483648"); }), format(msg::kNotInteger, "2147483648"));
}

TEST(ErrorReport, AddsADotAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(withReportDot(std::string(msg::kRangeError)), std::string(msg::kRangeError) + ".");
  EXPECT_EQ(withReportDot(format(msg::kCannotOpen, "/a/b.wav")), format(msg::kCannotOpen, "/a/b.wav") + ".");
  EXPECT_EQ(withReportDot("done."), "done.");
  EXPECT_EQ(withReportDot("x-"), "x-");
  EXPECT_EQ(withReportDot("abc"), "abc.");
  EXPECT_EQ(withReportDot(""), "");
  // Boxes captioned "Error" show their text as it is.
  Error box(Error::Kind::Box, std::string(msg::kUnsupported));
  EXPECT_EQ(box.shownText(), msg::kUnsupported);
  EXPECT_EQ(box.caption(), "Error");
  Error general(Error::Kind::General, std::string(msg::kDivByZero));
  EXPECT_EQ(general.shownText(), std::string(msg::kDivByZero) + ".");
  EXPECT_EQ(general.caption(), "Morvane");
}

}  // namespace
}  // namespace mv
