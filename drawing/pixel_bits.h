// One bit for each pixel of a picture, an eighth of a byte mask's memory,
// with the number of set bits before any pixel (its rank) in constant
// time once counted: a list of the set pixels without the list.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

class PixelBits {
 public:
  explicit PixelBits(uint64_t pixels = 0) : words_((pixels + 63) / 64, 0) {}

  bool Get(uint64_t i) const { return (words_[i >> 6] >> (i & 63)) & 1; }
  void Set(uint64_t i) { words_[i >> 6] |= uint64_t{1} << (i & 63); }

  // Counts the bits of every word before it, for Rank; after the last Set.
  void CountRanks() {
    ranks_.resize(words_.size());
    uint32_t before = 0;
    for (size_t k = 0; k < words_.size(); ++k) {
      ranks_[k] = before;
      before += static_cast<uint32_t>(std::popcount(words_[k]));
    }
  }

  // How many set bits lie before pixel i.
  uint32_t Rank(uint64_t i) const {
    const uint64_t below = (uint64_t{1} << (i & 63)) - 1;
    return ranks_[i >> 6] + static_cast<uint32_t>(std::popcount(words_[i >> 6] & below));
  }

  // Calls f(i) for each set pixel i in order, passing over empty words.
  // `mask(k)` picks which bits of word k count (all of them by default).
  template <class F>
  void ForEach(F f) const {
    ForEachMasked([](size_t) { return ~uint64_t{0}; }, f);
  }
  template <class M, class F>
  void ForEachMasked(M mask, F f) const {
    for (size_t k = 0; k < words_.size(); ++k) {
      for (uint64_t word = words_[k] & mask(k); word != 0; word &= word - 1) {
        f(static_cast<uint64_t>(k) * 64 + static_cast<uint64_t>(std::countr_zero(word)));
      }
    }
  }

  uint64_t Word(size_t k) const { return words_[k]; }

 private:
  std::vector<uint64_t> words_;
  std::vector<uint32_t> ranks_;
};
