#pragma once
// One output FLAC file of a job, written from the WAVE-layout bytes a
// FlacSource gives. libFLAC encodes into a hidden file in the target's
// folder, which takes the target's name only once it is complete: the name
// never shows a file half written. A cancel or an error leaves a complete
// file of what was appended.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wave/format.h"
#include "wave/tags.h"
#include "wave/writer.h"

namespace mv {

struct FlacOptions {
  int32_t level = 5;  // libFLAC's compression level, 0 to 8
  // As Vorbis comments and a front-cover picture, ahead of the seek table.
  Tags tags;
  // libFLAC decodes every frame it encodes and compares it with the input;
  // a mismatch raises the encode error.
  bool verify = true;
};

class FlacWriter {
 public:
  explicit FlacWriter(FileClosed closed = {}, OutputRules rules = {});
  FlacWriter(const FlacWriter&) = delete;
  FlacWriter& operator=(const FlacWriter&) = delete;
  ~FlacWriter();

  // Starts the file for samples of FLAC depth bits (4 to 32) laid out as
  // format says (format.bitsPerSample is bits rounded up to whole bytes).
  // A target that is one of the sources is refused with the rules' message
  // and a layout FLAC cannot hold with kUnsupported, nothing made; a hidden
  // file that cannot be made raises kCannotCreate with the target; a level
  // outside 0 to 8 raises kRangeError. With the default options the file is
  // what it always was: STREAMINFO, libFLAC's own empty comments, the seek
  // table.
  void create(const std::string& path, const PcmFormat& format, int32_t bits, const FlacOptions& options = {});
  // Bytes of whole or partial frames; a partial frame waits for its rest.
  // A sample whose bits below the depth are not zero, or an encoding that
  // fails its check, raises kFlacEncodeError.
  void append(const void* data, std::size_t n);
  // Completes the file and puts it in place of the target; a partial frame
  // left over raises kFlacEncodeError, the rest being kept.
  void finish();
  // The same on a way out that must not throw; a partial frame goes.
  void abandon() noexcept;
  // Drops the file, if it has not its name yet: the target is left as it was.
  void discard() noexcept;
  // Bytes appended.
  int64_t size() const { return size_; }
  bool isOpen() const { return encoder_ != nullptr; }

 private:
  struct State;
  struct Callbacks;
  // Encodes the whole frames of n bytes at data.
  void encode(const uint8_t* data, std::size_t n);
  // Any width and depth: each sample checked for bits below the depth.
  void encodeWide(const uint8_t*& data, int width, int shift, uint32_t low);
  // Where the seek table's block starts in the hidden file.
  int64_t seekTableAt() const;
  // Finishes the encoding and moves the hidden file to the target, or raises.
  void close();

  FileClosed closed_;
  OutputRules rules_;
  void* encoder_ = nullptr;  // FLAC__StreamEncoder
  // Its metadata blocks (FLAC__StreamMetadata), which libFLAC reads up to
  // the finish: the comments and the picture when there are tags, the seek
  // table.
  std::vector<void*> blocks_;
  std::unique_ptr<State> state_;
  int fd_ = -1;              // the hidden file
  std::string path_, folder_;
  std::string temp_;         // its name; empty while it has none (O_TMPFILE)
  PcmFormat format_;
  int32_t bits_ = 0;
  int64_t size_ = 0;
  std::vector<uint8_t> partial_;   // a frame's first bytes
  std::vector<int32_t> samples_;   // a block for libFLAC
};

}  // namespace mv
