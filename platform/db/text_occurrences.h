// Searching a text for another in time linear in both, whatever their shapes: a search text that
// almost matches everywhere costs what an ordinary one costs. FindText finds the first
// occurrence from a byte on; Occurrences walks every occurrence, overlapping ones included,
// forwards or backwards (Knuth-Morris-Pratt over the text read in that direction), so that the
// n-th one costs one pass however densely the occurrences overlap. A pattern of up to 32 bytes
// is searched again from each occurrence on, which costs at most its length a text byte.
//
// Thread-safety: an Occurrences belongs to one call of a function.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/db/function_memory.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {

// The first byte at or after `from` where `pattern` occurs in `text`; npos when nowhere. A
// pattern of up to 32 bytes costs at most that many comparisons a text byte.
// Precondition: `pattern` is not empty.
size_t FindText(std::string_view text, std::string_view pattern, size_t from);

class Occurrences {
 public:
  enum class Direction { kForwards, kBackwards };
  // Forwards: the occurrences starting at or after byte `from`, first one first. Backwards: the
  // ones starting at or before it, last one first.
  // Precondition: `pattern` is not empty; text and pattern outlive this object.
  Occurrences(std::string_view text, std::string_view pattern, size_t from, Direction direction,
              StatementTime* time);

  // The start of the next occurrence; npos when there is none.
  size_t Next();

 private:
  size_t NextShort();
  // The pattern's and the text's k-th byte in the direction read.
  char PatternAt(size_t k) const {
    return forwards_ ? pattern_[k] : pattern_[pattern_.size() - 1 - k];
  }
  char TextAt(size_t k) const { return forwards_ ? text_[k] : text_[origin_ - k]; }

  std::string_view text_;
  std::string_view pattern_;
  bool forwards_;
  size_t origin_ = 0;  // backwards: the text byte read first
  size_t read_ = 0;    // text bytes read so far, in the direction read
  size_t end_ = 0;     // text bytes there are to read
  size_t matched_ = 0;  // pattern bytes the bytes read last match
  // A short pattern: where the next search starts (backwards: the last start it takes).
  size_t short_from_ = 0;
  // border_[k]: the longest proper prefix of the pattern's first k + 1 bytes (as read) that is
  // also their suffix.
  std::vector<uint32_t, CountedAllocator<uint32_t>> border_;
  StatementTime* time_;
};

}  // namespace korvalis::db::functions
