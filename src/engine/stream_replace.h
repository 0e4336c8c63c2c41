// One step of "replace every occurrence of P by R", done while streaming.
//
// Several such steps, chained, give in one pass over the text exactly what the
// same replacements give as separate passes, each over the result of the one
// before: every step sees the full output of the step before it, matches are
// found from the left and do not overlap. A step holds back the characters
// that may still begin a match (at most the pattern's length minus one).

#ifndef KORVIX_ENGINE_STREAM_REPLACE_H_
#define KORVIX_ENGINE_STREAM_REPLACE_H_

#include <array>
#include <cstddef>
#include <string_view>

namespace korvix::engine {

class StreamReplace {
 public:
  static constexpr std::size_t kMaxPattern = 8;

  // REQUIRES: 1 <= pattern.size() <= kMaxPattern.
  constexpr StreamReplace(std::u32string_view pattern, std::u32string_view replacement)
      : pattern_(pattern), replacement_(replacement) {
    // Knuth-Morris-Pratt borders: border_[k] is the longest proper border of
    // the first k pattern characters.
    std::size_t b = 0;
    for (std::size_t k = 1; k < pattern_.size(); ++k) {
      while (b > 0 && pattern_[k] != pattern_[b]) b = border_[b];
      if (pattern_[k] == pattern_[b]) ++b;
      border_[k + 1] = b;
    }
  }

  constexpr std::u32string_view pattern() const { return pattern_; }

  // Per-text state: how many pattern characters are held back.
  struct State {
    std::size_t held = 0;
  };

  // Feeds one character; passes what is settled on to `emit`.
  template <class Emit>
  void Push(State& s, char32_t c, Emit&& emit) const {
    while (s.held > 0 && pattern_[s.held] != c) {
      const std::size_t keep = border_[s.held];
      for (std::size_t i = 0; i < s.held - keep; ++i) emit(pattern_[i]);
      s.held = keep;
    }
    if (pattern_[s.held] != c) {
      emit(c);
    } else if (++s.held == pattern_.size()) {
      for (char32_t r : replacement_) emit(r);
      s.held = 0;
    }
  }

  // Ends the text: passes on what is still held back.
  template <class Emit>
  void Finish(State& s, Emit&& emit) const {
    for (std::size_t i = 0; i < s.held; ++i) emit(pattern_[i]);
    s.held = 0;
  }

 private:
  std::u32string_view pattern_;
  std::u32string_view replacement_;
  std::array<std::size_t, kMaxPattern + 1> border_{};
};

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_STREAM_REPLACE_H_
