#include "archive/search_pieces.h"

#include <array>
#include <vector>

#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"
#include "platform/text/ascii.h"

namespace korvalis::archive {
namespace {

// The named columns of the search's select list (patient_search.cpp), which alone may order it.
// clang-format off
constexpr std::array<std::u16string_view, 30> kResultColumns = {
    u"NAME", u"SEX", u"PATIENT_ID", u"EVENT_NO", u"BIRTHDAY", u"IN_TIME", u"OUT_TIME",
    u"IN_DEPT_NAME", u"NOW_DEPT_NAME", u"OUT_DEPT_NAME", u"EMR_STATUS", u"COMMIT_TIME",
    u"ROLLBACK_TIME", u"ARCHIVE_TIME", u"FORBID_FLAG", u"BED_NO", u"DOCTOR_NAME",
    u"REG_DOCTOR_ID", u"CODE_STATUS", u"CODE_DATE", u"ROLLBACK_NOTES", u"ARCHIVER",
    u"ARCHIVE_NOTES", u"EVENT_STATUS", u"COMMIT_TIMES", u"RECTIFY_STATUS", u"COMMITER",
    u"COMMIT_NOTES", u"ADMISSION_DEPT_TIME", u"CASE_NO"};
// clang-format on

// The words of `text`, separated by blanks.
std::vector<std::u16string_view> Words(std::u16string_view text) {
  std::vector<std::u16string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    if (IsAsciiBlank(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !IsAsciiBlank(text[end])) ++end;
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

bool IsWord(std::u16string_view word, std::u16string_view keyword) {
  return EqualsIgnoringAsciiCase(word, keyword);
}

// A column of the result, optionally qualified by the alias of its table.
bool IsResultColumn(std::u16string_view column) {
  if (column.size() > 2 && column[1] == u'.' &&
      (IsWord(column.substr(0, 1), u"V") || IsWord(column.substr(0, 1), u"W"))) {
    column.remove_prefix(2);
  }
  for (std::u16string_view name : kResultColumns) {
    if (IsWord(column, name)) return true;
  }
  return false;
}

// column [ASC | DESC] [NULLS FIRST | NULLS LAST]
bool IsOrderItem(const std::vector<std::u16string_view>& words) {
  if (words.empty() || !IsResultColumn(words[0])) return false;
  std::size_t at = 1;
  if (at < words.size() && (IsWord(words[at], u"ASC") || IsWord(words[at], u"DESC"))) ++at;
  if (at + 1 < words.size() && IsWord(words[at], u"NULLS") &&
      (IsWord(words[at + 1], u"FIRST") || IsWord(words[at + 1], u"LAST"))) {
    at += 2;
  }
  return at == words.size();
}

void AppendJoined(const std::vector<std::u16string_view>& words, std::u16string& out) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out.push_back(u' ');
    out.append(words[i]);
  }
}

}  // namespace

void RefuseCondition(std::u16string_view element, std::u16string_view text) {
  std::u16string record = u"病人查询条件 ";
  record.append(element).append(u" 不是允许的形式, 查询未执行: ").append(text);
  CEventLogEntry(record, CEventLogEntry::kError).Report();
  throw CEMRException(std::u16string(kDatabaseErrorMessage));
}

std::u16string ConditionNumberList(std::u16string_view element, std::u16string_view text) {
  try {
    return SqlNumberList(text);
  } catch (const CEMRException&) {
    RefuseCondition(element, text);
  }
}

std::u16string ConditionOrderBy(std::u16string_view orderby) {
  std::u16string list;
  list.reserve(orderby.size());
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = orderby.find(u',', start);
    const std::vector<std::u16string_view> words =
        Words(orderby.substr(start, comma == std::u16string_view::npos ? comma : comma - start));
    if (!IsOrderItem(words)) RefuseCondition(u"orderby", orderby);
    if (!list.empty()) list.push_back(u',');
    AppendJoined(words, list);
    if (comma == std::u16string_view::npos) return list;
    start = comma + 1;
  }
}

std::u16string ConditionNullTest(std::u16string_view leavetime_span) {
  const std::vector<std::u16string_view> words = Words(leavetime_span);
  if (words.size() == 2 && IsWord(words[0], u"is") && IsWord(words[1], u"null")) return u"is null";
  if (words.size() == 3 && IsWord(words[0], u"is") && IsWord(words[1], u"not") &&
      IsWord(words[2], u"null")) {
    return u"is not null";
  }
  RefuseCondition(u"leavetime_span", leavetime_span);
}

std::u16string ConditionRowLimit(std::u16string_view maxrow) {
  const std::size_t first = maxrow.find_first_not_of(u" \t\r\n");
  const std::size_t last = maxrow.find_last_not_of(u" \t\r\n");
  const std::u16string_view limit = first == std::u16string_view::npos
                                        ? std::u16string_view()
                                        : maxrow.substr(first, last - first + 1);
  if (!IsSqlNumber(limit)) RefuseCondition(u"maxrow", maxrow);
  return std::u16string(limit);
}

}  // namespace korvalis::archive
