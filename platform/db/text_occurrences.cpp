#include "platform/db/text_occurrences.h"

#include <string.h>

#include <algorithm>
#include <cstring>

namespace korvalis::db::functions {

namespace {

// Up to this length a pattern is searched by comparing it at each place its first byte occurs:
// at most this many byte comparisons a text byte, and the fastest on ordinary texts.
constexpr size_t kShortPattern = 32;

// The last place at or before `last` where `pattern` occurs in `text`; npos when none.
// Precondition: `pattern` is short and not empty.
// Every candidate is charged to the running call with the bytes it may compare.
size_t FindShortBackwards(std::string_view text, std::string_view pattern, size_t last) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  StatementTime time;
  size_t end = std::min(last, text.size() - pattern.size()) + 1;  // candidates below
  while (end > 0) {
    const void* p = ::memrchr(text.data(), pattern[0], end);
    if (p == nullptr) return std::string_view::npos;
    const size_t at = static_cast<size_t>(static_cast<const char*>(p) - text.data());
    time.Spend(end - at + pattern.size());
    if (std::memcmp(text.data() + at, pattern.data(), pattern.size()) == 0) return at;
    end = at;
  }
  return std::string_view::npos;
}

// Pieces a text is searched forwards in, the running call charged for each before it is read:
// the bytes it holds times the comparisons a byte may take.
constexpr size_t kSearchedPiece = size_t{1} << 20;

}  // namespace

// A short pattern is found as std::string_view finds it; a long one by glibc's memmem, which is
// linear: a hashed search up to 256 bytes, the two-way algorithm beyond. A long text is read in
// pieces, the running call charged before each (a short text costs nothing to account).
size_t FindText(std::string_view text, std::string_view pattern, size_t from) {
  const size_t m = pattern.size();
  const size_t cost = m <= kShortPattern ? m : 2;  // comparisons a text byte
  StatementTime time;
  while (from <= text.size() && m <= text.size() - from) {
    // The piece, with the bytes an occurrence starting at its end runs on into.
    const size_t end = from + std::min(kSearchedPiece, text.size() - from - m + 1) + m - 1;
    const std::string_view piece = text.substr(0, end);
    if (end - from > kSearchedPiece / 16) time.Spend((end - from) * cost);
    size_t found;
    if (m <= kShortPattern) {
      found = piece.find(pattern, from);
    } else {
      const void* p = ::memmem(piece.data() + from, end - from, pattern.data(), m);
      found = p == nullptr ? std::string_view::npos
                           : static_cast<size_t>(static_cast<const char*>(p) - text.data());
    }
    if (found != std::string_view::npos || end == text.size()) return found;
    from = end - m + 1;
  }
  return std::string_view::npos;
}

Occurrences::Occurrences(std::string_view text, std::string_view pattern, size_t from,
                         Direction direction, StatementTime* time)
    : text_(text),
      pattern_(pattern),
      forwards_(direction == Direction::kForwards),
      time_(time) {
  if (forwards_) {
    read_ = std::min(from, text.size());
    end_ = text.size();
  } else if (!text.empty() && from < text.size()) {
    // An occurrence starting at `from` ends pattern.size() - 1 bytes on.
    origin_ = std::min(text.size() - 1, from + pattern.size() - 1);
    end_ = origin_ + 1;
  }
  if (pattern.size() <= kShortPattern) {
    short_from_ = forwards_ ? read_ : (end_ == 0 ? std::string_view::npos : from);
    return;
  }
  border_.resize(pattern.size());
  time_->Spend(pattern.size());
  for (size_t k = 1, b = 0; k < pattern.size(); ++k) {
    while (b > 0 && PatternAt(k) != PatternAt(b)) b = border_[b - 1];
    if (PatternAt(k) == PatternAt(b)) ++b;
    border_[k] = static_cast<uint32_t>(b);
  }
}

size_t Occurrences::NextShort() {
  if (short_from_ == std::string_view::npos) return short_from_;
  const size_t found = forwards_ ? FindText(text_, pattern_, short_from_)
                                 : FindShortBackwards(text_, pattern_, short_from_);
  if (found == std::string_view::npos) {
    short_from_ = found;
  } else {
    time_->Spend((forwards_ ? found - short_from_ : short_from_ - found) + pattern_.size());
    short_from_ = forwards_ ? found + 1 : (found == 0 ? std::string_view::npos : found - 1);
  }
  return found;
}

size_t Occurrences::Next() {
  const size_t m = pattern_.size();
  if (m <= kShortPattern) return NextShort();
  while (read_ < end_) {
    if ((read_ & (StatementTime::kCheckEvery - 1)) == 0) time_->Spend(StatementTime::kCheckEvery);
    const char c = TextAt(read_++);
    while (matched_ > 0 && PatternAt(matched_) != c) matched_ = border_[matched_ - 1];
    if (PatternAt(matched_) == c) ++matched_;
    if (matched_ == m) {
      matched_ = border_[m - 1];
      // Read backwards, the match's last byte read is its first in the text.
      return forwards_ ? read_ - m : origin_ - (read_ - 1);
    }
  }
  return std::string_view::npos;
}

}  // namespace korvalis::db::functions
