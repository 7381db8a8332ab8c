#include "cut/short_pieces.h"

#include <algorithm>

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

MergingSink::MergingSink(PieceSink& files, int64_t minBytes) : files_(files), minBytes_(minBytes) {
  // Room for the longest stretch held, taken once: pages are touched only as
  // they fill.
  held_.reserve(static_cast<std::size_t>(minBytes));
}

void MergingSink::start(int32_t) {
  if (carry_) return;  // the short first piece goes on
  length_ = 0;
  confirmed_ = false;
  held_.clear();
}

void MergingSink::write(const uint8_t* data, std::size_t n) {
  length_ += static_cast<int64_t>(n);
  if (confirmed_) {
    files_.write(data, n);
    return;
  }
  held_.insert(held_.end(), data, data + n);
  if (length_ >= minBytes_) confirm();
}

// The current piece is long enough: the file before it is complete, and the
// piece gets a file of its own.
void MergingSink::confirm() {
  if (fileOpen_) files_.finish();
  files_.start(++filesMade_);
  fileOpen_ = true;
  files_.write(held_.data(), held_.size());
  held_.clear();
  confirmed_ = true;
  carry_ = false;
}

void MergingSink::finish() {
  if (confirmed_) return;  // kept open: a short piece after it may join it
  if (fileOpen_) {
    files_.write(held_.data(), held_.size());  // a short piece joins the one before
    held_.clear();
  } else {
    carry_ = true;  // the first piece, short: it joins the one after
  }
}

void MergingSink::close() {
  if (!fileOpen_) {
    files_.start(++filesMade_);  // everything was short: one piece
    fileOpen_ = true;
  }
  files_.write(held_.data(), held_.size());
  held_.clear();
  files_.finish();
  fileOpen_ = false;
}

void MergingSink::abandon() noexcept {
  if (fileOpen_) files_.abandon();
  fileOpen_ = false;
}

}  // namespace mv
