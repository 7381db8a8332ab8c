#pragma once
// Quantiles of many levels without ordering them all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mv {

// Values counted by their whole parts (the last part holding all from
// there up): the k-th smallest of them is found by ordering only the values
// of the part that holds it, and none when all the values counted are whole
// (as levels of 8- and 16-bit samples less whole zero points are).
class Counts {
 public:
  static constexpr uint32_t kParts = 65536;
  static uint32_t partOf(double x) { return x < kParts - 1 ? static_cast<uint32_t>(std::max(x, 0.0)) : kParts - 1; }

  Counts() : n_(kParts) {}
  void clear() {
    std::fill(n_.begin(), n_.end(), 0);
    total_ = 0;
    whole_ = true;
  }
  void add(double x) {
    const uint32_t part = partOf(x);
    ++n_[part];
    ++total_;
    whole_ &= x == part;
  }
  // A whole value at least 0, as add counts it, in fewer steps.
  void addWhole(uint32_t x) {
    ++n_[std::min(x, kParts - 1)];
    ++total_;
    whole_ &= x < kParts;
  }
  // Whole values at least 0 as addWhole counts them, value(i) for each i
  // below n, the totals kept in locals: an addition to a member each time
  // waits for the one before.
  template <class Value>
  void addWholes(std::size_t n, Value&& value) {
    uint32_t* const parts = n_.data();
    bool whole = true;
    for (std::size_t i = 0; i < n; ++i) {
      const uint32_t x = value(i);
      ++parts[std::min(x, kParts - 1)];
      whole &= x < kParts;
    }
    total_ += n;
    whole_ = whole_ && whole;
  }
  // Without asking whether it is whole: for partHolding only.
  void addPart(double x) {
    ++n_[partOf(x)];
    ++total_;
  }
  std::size_t total() const { return total_; }

  // The part that holds the k-th smallest, and how many lie in the parts below.
  uint32_t partHolding(std::size_t k, std::size_t& below) const {
    below = 0;
    uint32_t part = 0;
    while (below + n_[part] <= k) below += n_[part++];
    return part;
  }

  // The value at q of those counted, as ordering them all would give it
  // (element q (total - 1), rounded down); `each` calls its argument with
  // every value counted, once more, unless they are whole.
  template <class Each>
  double quantile(double q, Each&& each, std::vector<double>& scratch) const {
    if (total_ == 0) return 0;
    const auto k = static_cast<std::size_t>(q * static_cast<double>(total_ - 1));
    std::size_t below = 0;
    const uint32_t part = partHolding(k, below);
    if (whole_) return part;
    scratch.clear();
    each([&](double x) {
      if (partOf(x) == part) scratch.push_back(x);
    });
    const auto at = scratch.begin() + static_cast<std::ptrdiff_t>(k - below);
    std::nth_element(scratch.begin(), at, scratch.end());
    return *at;
  }

 private:
  std::vector<uint32_t> n_;
  std::size_t total_ = 0;
  bool whole_ = true;
};

}  // namespace mv
