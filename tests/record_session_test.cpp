// The recording file as a device fills it and the recording session over a
// stand-in device: whole frames written at once, sizes that are always true,
// the input level, and every way a capture ends by itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "record/capabilities.h"
#include "record/capture_file.h"
#include "record/session.h"
#include "tests/stand_in_device.h"
#include "tests/support.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;

// A file whose header's sizes agree with each other and claim no more than
// the file holds; the data it claims.
::testing::AssertionResult ValidWithData(const std::string& path, const Bytes& data) {
  const Bytes f = test::ReadBytes(path);
  if (f.size() < 44) return ::testing::AssertionFailure() << "no header";
  const uint32_t riff = test::Get32(f, 4), declared = test::Get32(f, 40);
  if (riff != declared + 36) return ::testing::AssertionFailure() << "RIFF " << riff << ", data " << declared;
  if (declared > f.size() - 44) return ::testing::AssertionFailure() << "claims " << declared << " of " << f.size() - 44;
  const Bytes claimed(f.begin() + 44, f.begin() + 44 + declared);
  if (claimed != data) return ::testing::AssertionFailure() << "data " << claimed.size() << " bytes, want " << data.size();
  return ::testing::AssertionSuccess();
}

// 32-bit samples as an input gives them for a 24-bit recording, their
// four bytes all different.
Bytes Int32Samples(std::size_t samples, uint32_t seed) {
  Bytes b;
  for (std::size_t i = 0; i < samples; ++i) test::Put32(b, static_cast<uint32_t>(i) * 0x01020305u + seed);
  return b;
}

// What a 24-bit file keeps of them: the top three bytes of each.
Bytes TopThreeBytes(const Bytes& int32s) {
  Bytes b;
  for (std::size_t i = 0; i + 4 <= int32s.size(); i += 4) b.insert(b.end(), int32s.begin() + static_cast<long>(i) + 1, int32s.begin() + static_cast<long>(i) + 4);
  return b;
}

// A file that is exactly the extensible header for its data and the data.
::testing::AssertionResult WideWithData(const std::string& path, const PcmFormat& format, const Bytes& data) {
  const Bytes f = test::ReadBytes(path);
  const std::vector<uint8_t> header = ExtendedHeader(format, {}, false).bytes(static_cast<int64_t>(data.size()));
  if (f.size() != header.size() + data.size())
    return ::testing::AssertionFailure() << f.size() << " bytes, want " << header.size() << " + " << data.size();
  if (!std::equal(header.begin(), header.end(), f.begin())) return ::testing::AssertionFailure() << "header differs";
  if (!std::equal(data.begin(), data.end(), f.begin() + static_cast<long>(header.size())))
    return ::testing::AssertionFailure() << "data differs";
  return ::testing::AssertionSuccess();
}

Bytes Ramp(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
  return b;
}

class CaptureFileTest : public ::testing::Test {
 protected:
  std::string prepared(const char* label) {
    const std::string path = dir / "morvntmp.wav";
    PrepareRecordingFile(path, RecordingFormat(label));
    return path;
  }
  test::TempDir dir;
};

// Bytes come in blocks that cut frames anywhere; the file holds the whole
// frames at once and its sizes tell them after a refresh.
TEST_F(CaptureFileTest, WholeFramesAreWrittenAsTheyArrive) {
  struct Row {
    const char* label;
    std::vector<std::size_t> blocks;
    std::size_t kept;  // whole frames of the total
  };
  const std::vector<Row> rows = {
      {"16bit, Stereo, 44.1kHz", {3, 1, 5, 7, 4}, 20},
      {"16bit, Stereo, 44.1kHz", {2, 1}, 0},
      {"16bit, Mono, 22kHz", {3, 3, 3}, 8},
      {"8bit, Stereo, 11kHz", {1, 2, 2}, 4},
      {"8bit, Mono, 11kHz", {5}, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const std::string path = prepared(row.label);
    test::WriteBytes(path, test::Concat({test::ReadBytes(path), Bytes(10, 0xAA)}));  // recorded over
    CaptureFile f;
    f.open(path);
    EXPECT_EQ(f.format().sampleRate, ParseFormatLabel(row.label).sampleRate);
    std::size_t total = 0;
    for (std::size_t n : row.blocks) total += n;
    const Bytes all = Ramp(total);
    std::size_t at = 0;
    for (std::size_t n : row.blocks) {
      ASSERT_TRUE(f.append(all.data() + at, n));
      at += n;
    }
    EXPECT_EQ(test::ReadBytes(path).size(), 44 + row.kept);  // in the file before any refresh
    ASSERT_TRUE(f.refresh());
    EXPECT_TRUE(ValidWithData(path, Bytes(all.begin(), all.begin() + static_cast<long>(row.kept))));
    f.close();
    EXPECT_TRUE(test::IsFinishedWave(path));
  }
}

// Half a second of sound brings the sizes up to date without waiting for
// the clock, so that a crash loses less than a second.
TEST_F(CaptureFileTest, HalfASecondRefreshesTheSizes) {
  const std::string path = prepared("16bit, Mono, 11kHz");
  CaptureFile f;
  f.open(path);
  const Bytes block = Ramp(2000);  // 1000 frames
  for (int i = 0; i < 5; ++i) f.append(block.data(), block.size());
  EXPECT_EQ(test::Get32(test::ReadBytes(path), 40), 0u);  // 5000 frames: not yet half a second
  f.append(block.data(), block.size());
  EXPECT_EQ(test::Get32(test::ReadBytes(path), 40), 12000u);
}

// A full disk and the largest file both end the capture; what got in stays,
// in whole frames, under true sizes, and nothing more is taken.
TEST_F(CaptureFileTest, FullDiskAndSizeLimitEndTheCapture) {
  struct Row {
    const char* label;
    int64_t room, limit;
    CaptureFailure why;
    std::size_t kept;
  };
  const std::vector<Row> rows = {
      {"16bit, Stereo, 44.1kHz", 1002, kMaxRecordingBytes, CaptureFailure::WriteError, 1000},
      {"8bit, Mono, 11kHz", 777, kMaxRecordingBytes, CaptureFailure::WriteError, 777},
      {"16bit, Stereo, 44.1kHz", int64_t{1} << 40, 1003, CaptureFailure::SizeLimit, 1000},
      {"16bit, Mono, 22kHz", int64_t{1} << 40, 1001, CaptureFailure::SizeLimit, 1000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.label) + " " + std::string(FailureMessage(row.why)));
    const std::string path = prepared(row.label);
    CaptureFile f;
    f.open(path, test::FullDiskAfter(row.room));
    f.limit = row.limit;
    const Bytes all = Ramp(1600);
    EXPECT_TRUE(f.append(all.data(), 400));
    EXPECT_FALSE(f.append(all.data() + 400, 1200));
    EXPECT_EQ(f.failure(), row.why);
    EXPECT_FALSE(f.append(all.data(), 4));
    f.close();
    EXPECT_TRUE(ValidWithData(path, Bytes(all.begin(), all.begin() + static_cast<long>(row.kept))));
    EXPECT_TRUE(test::IsFinishedWave(path));
  }
  EXPECT_EQ(kMaxRecordingBytes + 44, int64_t{2147483647});  // the largest the header's sizes tell
}

// The set length is held exactly: the block that crosses it is cut there,
// frames split across blocks included, and later blocks are left out
// without ending the capture.
TEST_F(CaptureFileTest, TheSetLengthCutsTheBlockThatCrossesIt) {
  struct Row {
    const char* label;
    std::vector<std::size_t> blocks;
  };
  const std::vector<Row> rows = {
      {"8bit, Mono, 11kHz", {11000, 30, 5}},
      {"16bit, Stereo, 44.1kHz", {176397, 5, 4}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    CaptureFile f;
    f.open(prepared(row.label));
    f.setLength(1);
    const PcmFormat format = ParseFormatLabel(row.label);
    const auto second = static_cast<std::size_t>(format.sampleRate * format.channels * format.bytesPerSample());
    const Bytes all = Ramp(second + 100);
    std::size_t at = 0;
    for (std::size_t n : row.blocks) {
      EXPECT_TRUE(f.append(all.data() + at, n));
      at += n;
      EXPECT_EQ(f.full(), at >= second) << at;
    }
    EXPECT_FALSE(f.failure());
    f.close();
    EXPECT_TRUE(ValidWithData(dir / "morvntmp.wav", Bytes(all.begin(), all.begin() + static_cast<long>(second))));
  }
}

TEST_F(CaptureFileTest, LevelIsThePeakSinceTheLastLookAndFullScaleClips) {
  struct Row {
    const char* label;
    Bytes frames;
    float peak[2];
    bool clipped[2];
  };
  const auto stereo = [](std::vector<std::pair<int16_t, int16_t>> lr) {
    Bytes b;
    for (auto [l, r] : lr) {
      test::Put16(b, static_cast<uint16_t>(l));
      test::Put16(b, static_cast<uint16_t>(r));
    }
    return b;
  };
  // 24 bits come as 32-bit integers, of which the top three bytes count.
  const auto stereo32 = [](std::vector<std::pair<int32_t, int32_t>> lr) {
    Bytes b;
    for (auto [l, r] : lr) {
      test::Put32(b, static_cast<uint32_t>(l));
      test::Put32(b, static_cast<uint32_t>(r));
    }
    return b;
  };
  const std::vector<Row> rows = {
      {"16bit, Stereo, 44.1kHz", stereo({{100, -16384}, {-8192, 12}}), {0.25f, 0.5f}, {false, false}},
      {"16bit, Stereo, 44.1kHz", stereo({{32767, 0}, {0, -32768}}), {32767 / 32768.0f, 1.0f}, {true, true}},
      {"16bit, Mono, 22kHz", test::Frames16({-32767, 5}, 1), {32767 / 32768.0f, 0}, {false, false}},
      {"8bit, Mono, 11kHz", Bytes{128, 192, 100}, {0.5f, 0}, {false, false}},
      {"8bit, Stereo, 11kHz", Bytes{0, 128, 128, 255}, {1.0f, 127 / 128.0f}, {true, true}},
      {"24bit, Stereo, 48kHz", stereo32({{0x40000000, -0x200000ff}, {-0x100, 0x7ffffe00}}),
       {0.5f, 32767 / 32768.0f}, {false, false}},
      {"24bit, Mono, 96kHz", stereo32({{0x7fffffff, -0x7fffff00}, {0, INT32_MIN}}), {1.0f, 0}, {true, false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    CaptureFile f;
    f.open(prepared(row.label));
    EXPECT_EQ(f.takeLevel().channels, 0);
    f.append(row.frames.data(), row.frames.size());
    const InputLevel l = f.takeLevel();
    const int channels = RecordingFormat(row.label).channels;
    ASSERT_EQ(l.channels, channels);
    for (int c = 0; c < channels; ++c) {
      EXPECT_FLOAT_EQ(l.peak[c], row.peak[c]) << c;
      EXPECT_EQ(l.clipped[c], row.clipped[c]) << c;
    }
    EXPECT_EQ(f.takeLevel().channels, 0);  // taken
  }
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override { device.perTick = Ramp(4410 * 4); }
  std::string path() const { return dir / "morvntmp.wav"; }
  PcmFormat stereo = ParseFormatLabel("16bit, Stereo, 44.1kHz");
  test::TempDir dir;
  test::StandInDevice device;
  RecordingSession session{device};
  int failures = 0;
};

TEST_F(SessionTest, RecordsTicksAndEnds) {
  session.onFailure = [&] { ++failures; };
  session.start(path(), stereo, "mic", 0);
  EXPECT_TRUE(session.running());
  EXPECT_EQ(device.input(), "mic");
  EXPECT_EQ(device.length, 1);  // 0:00:00 ends on the clock's first tick
  EXPECT_EQ(device.calls, (std::vector<std::string>{"open", "record"}));
  EXPECT_TRUE(session.tick());
  EXPECT_TRUE(ValidWithData(path(), device.perTick));  // on the disk at the tick
  const SessionEnd end = session.end();
  EXPECT_TRUE(end.ok) << end.message;
  EXPECT_EQ(device.calls, (std::vector<std::string>{"open", "record", "stop", "save", "close"}));
  EXPECT_TRUE(ValidWithData(path(), test::Concat({device.perTick, device.perTick})));
  EXPECT_FALSE(session.running());
  EXPECT_TRUE(session.end().ok);  // a second end does nothing
  EXPECT_EQ(device.calls.size(), 5u);
  EXPECT_EQ(failures, 0);
}

// A 24-bit recording: the input's 32-bit samples come in blocks that cut
// frames anywhere; the file keeps the top three bytes of each, behind the
// extensible header, which at every tick tells exactly what is on the
// disk. The set length holds in whole frames, and so does the size limit.
TEST_F(SessionTest, ATwentyFourBitRecordingKeepsTheTopThreeBytesOfEachSample) {
  struct Row {
    const char* label;
    int length;  // seconds; 0: none
    int64_t limit;
    std::optional<CaptureFailure> why;
  };
  const std::vector<Row> rows = {
      {"24bit, Stereo, 48kHz", 1, kMaxRecordingBytes, std::nullopt},
      {"24bit, Mono, 96kHz", 1, kMaxRecordingBytes, std::nullopt},
      {"24bit, Stereo, 44.1kHz", 0, 100003, CaptureFailure::SizeLimit},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const PcmFormat f = RecordingFormat(row.label);
    ASSERT_EQ(f.bitsPerSample, 24);
    test::StandInDevice d;
    d.capture.limit = row.limit;
    // A tenth of a second at each tick, and between ticks a frame cut in two.
    d.perTick = Int32Samples(static_cast<std::size_t>(f.sampleRate / 10 * f.channels), 0x80402010u);
    const Bytes between = Int32Samples(static_cast<std::size_t>(3 * f.channels), 0x0badf00du);
    RecordingSession s(d);
    s.start(path(), f, "mic", row.length);
    EXPECT_TRUE(WideWithData(path(), f, {}));
    const auto inputFrame = static_cast<std::size_t>(4 * f.channels);
    const auto most = row.length > 0 ? static_cast<std::size_t>(row.length * f.sampleRate) * inputFrame
                                     : static_cast<std::size_t>(row.limit / f.frameBytes()) * inputFrame;
    Bytes fed;
    const auto kept = [&] {
      const std::size_t whole = std::min(fed.size() - fed.size() % inputFrame, most);
      return TopThreeBytes(Bytes(fed.begin(), fed.begin() + static_cast<long>(whole)));
    };
    bool going = true;
    for (int tick = 0; tick < 30 && going; ++tick) {
      fed = test::Concat({fed, d.perTick});
      going = s.tick();
      ASSERT_TRUE(WideWithData(path(), f, kept())) << "tick " << tick;
      if (!going) break;
      d.deliver(Bytes(between.begin(), between.begin() + 5));
      d.deliver(Bytes(between.begin() + 5, between.end()));
      fed = test::Concat({fed, between});
      if (d.capture.full() && s.complete([] {})) break;
    }
    EXPECT_EQ(going, !row.why);
    fed = test::Concat({fed, d.perTick});  // what came in since the last tick
    const SessionEnd end = s.end();
    EXPECT_EQ(end.ok, !row.why) << end.message;
    if (row.why) {
      EXPECT_EQ(end.message, FailureMessage(*row.why));
    }
    const Bytes data = kept();
    EXPECT_EQ(data.size(), most / inputFrame * static_cast<std::size_t>(f.frameBytes()));
    EXPECT_TRUE(WideWithData(path(), f, data));
    const WaveLayout layout = ReadWaveLayout(path());
    EXPECT_EQ(layout.format, f);
    EXPECT_EQ(layout.dataOffset, 68);
    EXPECT_EQ(layout.dataBytes, static_cast<int64_t>(data.size()));
  }
}

// Each way a capture ends by itself is told once, ends with its message, and
// leaves a valid file with everything that got in.
TEST_F(SessionTest, ACaptureThatEndsByItselfIsToldAndSaid) {
  struct Row {
    std::function<void(test::StandInDevice&)> before;  // before the start
    std::function<void(test::StandInDevice&)> during;
    std::string_view message;
    std::size_t second;  // bytes of the second tick's block that got in
  };
  const std::size_t tick = 4410 * 4;
  const std::vector<Row> rows = {
      {[](auto& d) { d.opener = test::FullDiskAfter(tick + 6); }, [](auto&) {}, msg::kRecordingWriteFailed, 4},
      {[](auto&) {}, [](auto& d) { d.lose(); }, msg::kRecordingInputLost, 0},
      {[](auto&) {}, [](auto& d) { d.lose(CaptureFailure::InputSilent); }, msg::kRecordingInputSilent, 0},
      {[](auto& d) { d.capture.limit = tick + 10; }, [](auto&) {}, msg::kRecordingSizeLimit, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.message));
    test::StandInDevice d;
    d.perTick = device.perTick;
    RecordingSession s(d);
    int told = 0;
    s.onFailure = [&] { ++told; };
    row.before(d);
    s.start(path(), stereo, "mic");
    EXPECT_EQ(d.length, 0);  // no set length: until ended
    EXPECT_TRUE(s.tick());
    row.during(d);
    const bool ticked = s.tick();
    EXPECT_FALSE(ticked);
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(s.tick());
    EXPECT_EQ(told, 1);
    const SessionEnd end = s.end();
    EXPECT_FALSE(end.ok);
    EXPECT_EQ(end.message, row.message);
    EXPECT_EQ(d.calls.back(), "close");
    const Bytes got = test::Concat({d.perTick, Bytes(d.perTick.begin(), d.perTick.begin() + static_cast<long>(row.second))});
    EXPECT_TRUE(ValidWithData(path(), got));
    EXPECT_TRUE(test::IsFinishedWave(path()));
  }
}

TEST_F(SessionTest, AStartThatFailsLeavesTheDeviceClosed) {
  // A folder that is gone: the file cannot be made, the device is not asked.
  EXPECT_EQ(test::ErrorOf([&] { session.start(dir / "gone/morvntmp.wav", stereo, "mic"); }),
            format(msg::kCannotCreate, dir / "gone/morvntmp.wav"));
  EXPECT_TRUE(device.calls.empty());
  // A device that cannot open: closed again, and the file it was to fill
  // gone again; one that the user agreed to replace stays, emptied.
  device.failOpen = true;
  EXPECT_EQ(test::ErrorOf([&] { session.start(path(), stereo, "mic"); }), msg::kUnknownDeviceError);
  EXPECT_EQ(device.calls, (std::vector<std::string>{"open", "close"}));
  EXPECT_FALSE(session.running());
  EXPECT_FALSE(FileExists(path()));
  test::WriteBytes(path(), {1, 2, 3});
  EXPECT_EQ(test::ErrorOf([&] { session.start(path(), stereo, "mic"); }), msg::kUnknownDeviceError);
  EXPECT_TRUE(test::IsFinishedWave(path()));
  EXPECT_EQ(test::ReadBytes(path()).size(), 44u);
  // A server or an input gone since the front end looked: said so before
  // anything is written, the recording there intact.
  device.calls.clear();
  device.failOpen = false;
  device.inputGone = true;
  test::WriteBytes(path(), {1, 2, 3});
  EXPECT_EQ(test::ErrorOf([&] { session.start(path(), stereo, ""); }), msg::kRecordingInputGone);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_EQ(test::ReadBytes(path()), (test::Bytes{1, 2, 3}));
  EXPECT_EQ(test::ErrorOf([&] { session.start(dir / "new.wav", stereo, "mic"); }), msg::kRecordingInputGone);
  EXPECT_FALSE(FileExists(dir / "new.wav"));
}

// Without a named input the desktop's default as the device finds it at
// the start is recorded, not one found earlier.
TEST_F(SessionTest, TheDefaultInputIsTheOneAtTheStart) {
  session.start(path(), stereo, "");
  EXPECT_EQ(session.input(), "mic");
  session.end();
  device.defaultInput = "headset";
  session.start(path(), stereo, "");
  EXPECT_EQ(session.input(), "headset");
}

}  // namespace
}  // namespace mv
