// The score that a QC user gives a patient visit, as the client sends it: the total, the level
// and the deduction items, read by element name anywhere in the document, in document order.
//
//   <root>
//     <score>93.5</score> <grade>1</grade> <dept_internal>12</dept_internal>
//     <item item_id="5" score="2.5" serial="1" note="..." emr_id="..." emr_title="..."
//           item_count="1"/>
//   </root>
//
// The server does no score arithmetic: every value is stored as the client sends it. The values
// that the scoring statements place bare (the total, the level and each item's standard, deduction
// and serial number) are checked to be plain numbers here, so that a score is refused whole before
// any statement runs; the texts stay as they were sent.
//
// Thread-safety: stateless.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/bstr.h"

namespace korvalis::quality {

inline constexpr char16_t kScoreMissingMessage[] = u"评分信息中没有总分(score).";
inline constexpr char16_t kGradeMissingMessage[] = u"评分信息中没有等级(grade).";

// One deduction: the attributes of an `item` element, an absent one read as the empty text.
struct QcScoreItem {
  std::u16string item_id;  // the QC standard item; a number
  std::u16string score;    // the points deducted; a number
  std::u16string note;
  std::u16string serial;  // the item's number within the score; a number
  std::u16string emr_id;
  std::u16string emr_title;
  std::u16string item_count;  // not checked: it is stored as a quoted value
};

struct QcScoreInfo {
  std::u16string score;  // the text of the first `score` element; a number
  std::u16string grade;  // the text of the first `grade` element; a number
  // The text of the first `dept_internal` element, unchecked; nullopt when there is none.
  std::optional<std::u16string> dept_internal;
  std::vector<QcScoreItem> items;  // every `item` element, in document order
};

// Reads the score document. Throws CEMRException "无效XML!" when it is not well formed,
// kScoreMissingMessage or kGradeMissingMessage when it has no `score` or no `grade` element, and
// SqlNumber's message naming the field ("score", "grade", "item_id", "serial") when a value
// placed bare is not a plain decimal number.
QcScoreInfo ReadQcScoreInfo(BSTR score_info);

}  // namespace korvalis::quality
