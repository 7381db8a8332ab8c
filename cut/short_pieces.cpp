#include "cut/short_pieces.h"

#include <algorithm>

#include "cut/units.h"
#include "wave/errors.h"
#include "wave/header.h"
#include "wave/paths.h"

namespace mv {

namespace {
void absorb(Piece& into, const Piece& p) {
  into.dataBytes += p.dataBytes;
  into.peak = std::max(into.peak, p.peak);
}
}  // namespace

std::vector<Piece> MergeShortPieces(const std::vector<Piece>& pieces, int64_t minBytes) {
  std::vector<Piece> out;
  std::optional<Piece> carried;  // the first piece while it is still short
  for (const Piece& p : pieces) {
    if (carried) {
      absorb(*carried, p);
      if (carried->dataBytes >= minBytes) {
        out.push_back(*carried);
        carried.reset();
      }
    } else if (p.dataBytes >= minBytes) {
      out.push_back(p);
    } else if (!out.empty()) {
      absorb(out.back(), p);
    } else {
      carried = p;
    }
  }
  if (carried) out.push_back(*carried);
  return out;
}

MergingSink::MergingSink(PieceOutputs paths, OutputHeader header, FileClosed closed, OutputRules rules,
                         int64_t minBytes)
    : paths_(std::move(paths)),
      header_(std::move(header)),
      closed_(std::move(closed)),
      rules_(std::move(rules)),
      minBytes_(minBytes) {}

std::unique_ptr<WaveWriter> MergingSink::writer() {
  return std::make_unique<WaveWriter>(
      [this](const std::string& path, int64_t size) {
        if (!dropping_ && closed_) closed_(path, size);
      },
      rules_);
}

int64_t MinSongBytes(double seconds, const PcmFormat& format) {
  if (seconds <= 0) return 0;
  return FramesFromSeconds(seconds, format) * format.channels * format.bytesPerSample();
}

void MergingSink::start(int32_t) {
  if (carry_) return;  // the short first piece goes on
  current_ = writer();
  ++files_;
  current_->create(paths_(files_), paths_.header(header_, files_));
  length_ = 0;
}

void MergingSink::write(const uint8_t* data, std::size_t n) {
  current_->append(data, n);
  length_ += static_cast<int64_t>(n);
  // The current piece is long enough: the file before it is complete.
  if (previous_ && length_ >= minBytes_) {
    previous_->finish();
    previous_.reset();
  }
}

void MergingSink::finish() {
  if (length_ >= minBytes_) {
    carry_ = false;
    previous_ = std::move(current_);  // kept open: a short piece after it may join it
    return;
  }
  if (!previous_) {
    carry_ = true;  // the first piece, short: it joins the one after
    return;
  }
  // A short piece joins the one before. Its bytes are read back from its
  // file and put behind the other's data undeclared; that file declares them
  // only once the short one is gone, so that no moment shows them in both.
  const std::string path = paths_(files_);
  const int64_t size = current_->size();
  const int64_t before = previous_->size();
  const int64_t headerSize = current_->headerSize();
  try {
    dropping_ = true;
    current_->finish();
    current_.reset();
    dropping_ = false;
    File piece = File::openRead(path);
    piece.seek(headerSize);
    previous_->appendFrom(piece, length_, 256 << 10, false);
  } catch (...) {
    dropping_ = false;
    keepBoth(path, size, before);
    throw;
  }
  if (!DeleteFile(path)) {
    keepBoth(path, size, before);
    raise(msg::kCannotDelete, path);
  }
  --files_;
  previous_->declare();
}

// The run ends with the short piece's file still there, its sound in it
// alone: the file before it ends as it was before the merge. Both files are
// told of, in their order.
void MergingSink::keepBoth(const std::string& path, int64_t size, int64_t before) noexcept {
  previous_->abandonAt(before);
  try {
    if (closed_) closed_(path, size);
  } catch (...) {
  }
}

void MergingSink::close() {
  if (current_) current_->finish();  // everything was short: one piece
  if (previous_) previous_->finish();
  current_.reset();
  previous_.reset();
}

// The file before first, so that the files are told of in their order.
void MergingSink::abandon() noexcept {
  if (previous_) previous_->abandon();
  if (current_) current_->abandon();
}

MergingSink::~MergingSink() { abandon(); }

}  // namespace mv
