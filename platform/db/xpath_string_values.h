// The string values that XPath functions read, built by the system in place of libxml2 so that
// their cost counts against the statement's time. libxml2 counts its operations, but building a
// node's string value is none of them: an element's is all the text under it, so a path that
// reads the root's string value at each of many nodes, or the string value of every element of
// a deep document, costs the document's size many times over within a handful of operations.
//
// Installed on an XPath context, the functions that read a string value (string, concat,
// contains, starts-with, substring, substring-before, substring-after, string-length,
// normalize-space, translate, number, sum and id) are found first in their place: each builds
// the string values of its node-set arguments (of the context node where it reads that), charging
// every node and byte to the running call's account (sql_function_support.h), and hands them to
// libxml2's own function as texts. Past the statement's deadline the evaluation fails, and
// stopped() tells why. The comparison function that rewritten paths call (xpath_comparisons.h) is
// found as well; it reads its string values through this object.
//
// Thread-safety: one object per XPath context, used on the context's thread.
#pragma once

#include <cstddef>
#include <string>

typedef struct _xmlXPathContext xmlXPathContext;
typedef struct _xmlXPathParserContext xmlXPathParserContext;
typedef struct _xmlNode xmlNode;

namespace korvalis::db {

class ChargedStringValues {
 public:
  // Installs the functions on `context`, which this object must outlive while it evaluates.
  explicit ChargedStringValues(xmlXPathContext* context);
  ChargedStringValues(const ChargedStringValues&) = delete;
  ChargedStringValues& operator=(const ChargedStringValues&) = delete;

  // Whether an evaluation failed because the statement's deadline passed.
  bool stopped() const { return stopped_; }

  // The object installed on the context that `parser` evaluates in.
  static ChargedStringValues& Of(xmlXPathParserContext* parser);

  // Appends the string value of `node` to `out`, charged, stopping once `out` holds more than
  // `most` bytes; false once the deadline has passed (what was appended is then of no use).
  bool Append(xmlNode* node, std::string* out, size_t most = std::string::npos);
  // Ends the evaluation of `parser`: the deadline has passed.
  void Stop(xmlXPathParserContext* parser);
  // Charges the steps libxml2 has counted in the evaluation of `parser` since the last charge, so
  // that a path whose steps between two calls of these functions are many reads the deadline at
  // each call (libxml2 itself reads only its count); false once the deadline has passed.
  bool ChargeSteps(xmlXPathParserContext* parser);

  // An empty text to build a value in: the same room for every value of the evaluation, so
  // that a long one is not grown again each time.
  std::string& Text() {
    text_.clear();
    return text_;
  }

 private:
  bool stopped_ = false;
  unsigned long steps_charged_ = 0;
  std::string text_;
};

}  // namespace korvalis::db
