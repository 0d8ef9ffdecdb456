// The parts of the patient search's condition that stand bare in its statement, checked before
// any statement runs. Each has the forms the search and its lists use, and nothing else may
// reach the statement: a text of any other form is refused with the generic database message,
// after an event-log record naming its element and holding its text.
//
//   emrtype, code     a comma-separated list of numbers, blanks around each  "0, 1 ,2" -> "0,1,2"
//   orderby           a comma-separated list of the result's columns, each optionally
//                     qualified by V or W and followed by ASC or DESC and by NULLS FIRST or
//                     NULLS LAST                     "COMMIT_TIME,BED_NO", "v.in_time desc"
//   leavetime_span    when it holds "null": "is null" or "is not null", blanks around and
//                     between the words              " is  not null " -> "is not null"
//   maxrow            a number, blanks around it
//
// Thread-safety: stateless functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::archive {

// Writes the event-log record of a condition element whose text cannot stand in the search's
// statement, then throws CEMRException with the generic database message.
[[noreturn]] void RefuseCondition(std::u16string_view element, std::u16string_view text);

// `text` as the list of numbers it holds, joined by ",". Refuses it as `element` otherwise.
std::u16string ConditionNumberList(std::u16string_view element, std::u16string_view text);

// The ORDER BY list of `orderby`, its items joined by "," and the words of each by one blank.
std::u16string ConditionOrderBy(std::u16string_view orderby);

// "is null" or "is not null" for a `leavetime_span` that holds "null".
std::u16string ConditionNullTest(std::u16string_view leavetime_span);

// The row limit of `maxrow` without the blanks around it.
std::u16string ConditionRowLimit(std::u16string_view maxrow);

}  // namespace korvalis::archive
