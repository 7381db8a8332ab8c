#include <gtest/gtest.h>

#include "wave/format.h"

namespace mv {
namespace {

TEST(FormatLabel, ParsesBothListSpellingsAlike) {
  for (int p = 0; p < kFormatCount; ++p) {
    const PcmFormat a = ParseFormatLabel(kCutLabels[p]);
    const PcmFormat b = ParseFormatLabel(kJoinLabels[p]);
    EXPECT_EQ(a.channels, b.channels) << p;
    EXPECT_EQ(a.sampleRate, b.sampleRate) << p;
    EXPECT_EQ(a.bitsPerSample, b.bitsPerSample) << p;
    // A label's format goes back to its own position.
    EXPECT_EQ(FormatListPosition(a.channels, a.sampleRate, a.bitsPerSample), p);
    EXPECT_EQ(RecordingLabelPosition(kCutLabels[p]), p);
  }
}

TEST(FormatLabel, DerivedSizes) {
  PcmFormat f = ParseFormatLabel("8bit,  Stereo, 48kHz");
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.sampleRate, 48000);
  EXPECT_EQ(f.bitsPerSample, 8);
  EXPECT_EQ(f.channels * f.bytesPerSample(), 2);

  f = ParseFormatLabel("16bit, Mono,  44.1kHz");
  EXPECT_EQ(f.channels, 1);
  EXPECT_EQ(f.sampleRate, 44100);

  f = ParseFormatLabel("8bit, Mono, 5kHz");
  EXPECT_EQ(f.sampleRate * f.channels * f.bytesPerSample(), 5000);
  EXPECT_EQ(ParseFormatLabel("16bit, Stereo, 22kHz").sampleRate, 22050);
  EXPECT_EQ(ParseFormatLabel("16bit, Stereo, 11kHz").sampleRate, 11025);
}

TEST(FormatLabel, EmptyAndOddTexts) {
  const PcmFormat empty = ParseFormatLabel("");
  EXPECT_EQ(empty.channels, 1);
  EXPECT_EQ(empty.sampleRate, 0);
  EXPECT_EQ(empty.bitsPerSample, 16);
  // With two rate tokens the earlier one of the search order wins.
  EXPECT_EQ(ParseFormatLabel("48kHz 11kHz").sampleRate, 11025);
  EXPECT_EQ(ParseFormatLabel("5kHz 48kHz").sampleRate, 48000);
  // "Mono" is not looked for; "stereo" in lower case is not Stereo.
  EXPECT_EQ(ParseFormatLabel("16bit, stereo, 48kHz").channels, 1);
}

TEST(FormatListPosition, FileFormats) {
  EXPECT_EQ(FormatListPosition(2, 44100, 16), 1);
  EXPECT_EQ(FormatListPosition(1, 22050, 8), 21);
  EXPECT_EQ(FormatListPosition(3, 11025, 16), 4);
  EXPECT_EQ(FormatListPosition(1, 32000, 12), 8);
  EXPECT_EQ(FormatListPosition(0, 5000, 8), 17);
  EXPECT_EQ(FormatListPosition(2, 8000, 16), std::nullopt);
  EXPECT_EQ(FormatListPosition(2, 5512, 16), std::nullopt);
  EXPECT_EQ(FormatListPosition(2, 96000, 16), std::nullopt);
}

TEST(RecordingLabelPosition, FindsMonoByItsName) {
  EXPECT_EQ(RecordingLabelPosition("8bit, Mono, 11kHz"), 22);
  EXPECT_EQ(RecordingLabelPosition("16bit, Stereo, 48kHz"), 0);
}

TEST(LabelBytesPerSecond, CapacityReading) {
  EXPECT_EQ(LabelBytesPerSecond("16bit, Stereo, 44.1kHz"), 176400);
  EXPECT_EQ(LabelBytesPerSecond("8bit, Mono, 11kHz"), 11025);
  EXPECT_EQ(LabelBytesPerSecond("16bit, Mono, 48kHz"), 96000);
  // No known token: 48 kHz.
  EXPECT_EQ(LabelBytesPerSecond("8bit, Mono"), 48000);
  // Labels beyond the lists: three bytes a 24-bit sample, at their own rate.
  EXPECT_EQ(LabelBytesPerSecond("24bit, Stereo, 88.2kHz"), 529200);
  EXPECT_EQ(LabelBytesPerSecond("24bit, Mono, 44.1kHz"), 132300);
  EXPECT_EQ(LabelBytesPerSecond("24bit, Stereo, 96kHz"), 576000);
}

TEST(FindLabelPosition, IgnoresBlanks) {
  EXPECT_EQ(FindLabelPosition("16bit, Mono, 22kHz"), 9);
  EXPECT_EQ(FindLabelPosition("16bit, Mono,  22kHz"), 9);
  EXPECT_EQ(FindLabelPosition("8bit,  Stereo, 48kHz"), 12);
  EXPECT_EQ(FindLabelPosition("16bit, Mono, 96kHz"), std::nullopt);
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

// Labels beyond the lists: one spelling per format, read back to it; the
// lists' own labels and anything else stay with the lists' rules.
TEST(ExtendedLabel, OneSpellingPerFormatReadBack) {
  const struct {
    const char* label;
    uint16_t bits, channels;
    int32_t rate;
    SampleKind kind;
  } rows[] = {
      {"24bit, Stereo, 96kHz", 24, 2, 96000, SampleKind::Integer},
      {"32bit float, Mono, 48kHz", 32, 1, 48000, SampleKind::Float},
      {"64bit float, Stereo, 44.1kHz", 64, 2, 44100, SampleKind::Float},
      {"16bit, Stereo, 8kHz", 16, 2, 8000, SampleKind::Integer},
      {"16bit, Mono, 88.2kHz", 16, 1, 88200, SampleKind::Integer},
      {"16bit, Mono, 22000Hz", 16, 1, 22000, SampleKind::Integer},
      {"24bit, Stereo, 22kHz", 24, 2, 22050, SampleKind::Integer},
      {"32bit, Mono, 384kHz", 32, 1, 384000, SampleKind::Integer},
      {"8bit, Mono, 8kHz", 8, 1, 8000, SampleKind::Integer},
      {"24bit, Mono, 12345Hz", 24, 1, 12345, SampleKind::Integer},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const auto f = ParseExtendedLabel(row.label);
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, (PcmFormat{row.channels, row.rate, row.bits, row.kind}));
    EXPECT_EQ(FormatLabel(*f), row.label);
    EXPECT_FALSE(IsListedFormat(*f));
  }
  EXPECT_TRUE(ParseExtendedLabel("24bit,  Stereo,   96kHz"));
  for (const char* other : {"16bit, Stereo, 44.1kHz", "8bit,  Mono,  5kHz", "24bit, Stereo, 96000Hz",
                            "24bit, Stereo, 7kHz", "24bit, Stereo, 385kHz", "8bit float, Mono, 8kHz",
                            "64bit, Mono, 48kHz", "24bit, Quad, 48kHz", "24bit, Stereo, 96.05kHz",
                            "24bit, Stereo, 22000kHz", "24bit,Stereo,96kHz", "", "24bit, Stereo, kHz"})
    EXPECT_FALSE(ParseExtendedLabel(other)) << other;
  // The lists' formats keep their list labels.
  for (int p = 0; p < kFormatCount; ++p) EXPECT_EQ(FormatLabel(ParseFormatLabel(kCutLabels[p])), kCutLabels[p]);
}

}  // namespace
}  // namespace mv
