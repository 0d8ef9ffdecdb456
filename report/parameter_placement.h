// The placement of report parameters: a report's SQL text (an old-format SQL column or a
// `gramar` text) names each parameter by a placeholder, "{" + code + "}", and every
// placeholder of a defined code is replaced by the parameter's value in one pass over the
// author's text, so that text a value brings in is never searched again.
//
// Parameters are values, never SQL. How a value is written depends on its type and on where
// the placeholder stands in the author's text, read as SQL (quoted literals with doubled quotes
// inside, quoted names, comments):
//   - outside any quotes: a STRING value becomes a quoted literal and a DATE value the
//     dialect's date literal, each with its single quotes doubled; a value of any other type
//     must be a decimal number or a comma-separated list of them ("3, 4"), or the placement
//     is refused before anything runs;
//   - inside a quoted literal: the literal receives the value itself, whatever its type, every
//     single quote doubled, so that an author's `B.ID = '{id}'` or `B.NAME LIKE '%{nm}%'`
//     compares with the value and not with a quoted copy of it;
//   - inside a delimited literal (q'[...]'), where no quote is doubled: the value itself; a
//     value that would close the literal, alone or with the literal's text beside it, is
//     refused (CEMRException "参数值会结束它所在的分隔字符串: '<value>' (<code>)");
//   - inside a quoted name: the value itself, every double quote doubled;
//   - inside a comment (-- to the end of the line, /* to */): the placeholder is left as
//     written; a comment is no part of the statement, and a value there could end it.
// No value can end the literal or quoted name it stands in, or add SQL where a number stands.
// A placeholder outside any quotes whose code no parameter has is refused: braces are no SQL
// there, and the statement would fail on the database. Inside quotes (or a comment) it stays
// as written, as text of the author's.
//
// The placed statement holds at most kMaxPlacedStatementUnits: a placement that would pass the
// bound is refused before the text past it is built, so that a value placed many times cannot
// grow a statement without end.
//
// Thread-safety: stateless functions; the dialect is only read.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "platform/com/types.h"

class CDBType;
class CSingleDataSource;

namespace korvalis::report {

// How a parameter's value is written, from its type compared in upper case: "STRING",
// "DATE", or anything else (a value that stands bare).
enum class ParameterType { kString, kDate, kBare };
ParameterType ParameterTypeOf(std::u16string_view type);

struct ReportParameter {
  ParameterType type = ParameterType::kBare;
  std::u16string value;
};

// The parameters of one run by code, in ascending order of code.
using ReportParameters = std::map<std::u16string, ReportParameter>;

// The most UTF-16 units of a placed statement (2 MB of text): an author's statement of tens of
// KB with thirty values of a literal's longest, 32,767 characters, fits it.
inline constexpr std::size_t kMaxPlacedStatementUnits = std::size_t{1} << 20;

// What PlaceParameters throws when the placed statement would be longer than
// kMaxPlacedStatementUnits; PlaceReportParameters names the report.
struct PlacedStatementTooLong {};

// `sql` with every placeholder of a code in `parameters` replaced, as above. A code that
// occurs in no placeholder changes nothing. Where two codes match at one place ("{a}" and
// "{a}b}"), the lower code wins. Throws SqlNumber's CEMRException ("不是有效的数字: '<value>'
// (<code>)") for a value of a bare type that stands outside quotes and is no number nor list
// of numbers, CEMRException "报表参数未赋值,无法生成报表: {<code>}" for a placeholder outside
// quotes of a code no parameter has, and PlacedStatementTooLong past the bound.
std::u16string PlaceParameters(std::u16string_view sql, const ReportParameters& parameters,
                               const CDBType& dialect);

// PlaceParameters for a statement of report `report_id` in the data source's dialect; past the
// bound it throws CEMRException "报表'<name>'(ID=<id>)的SQL语句放入参数后超过1048576个字符的上限,
// 已拒绝", the report's name read only then.
std::u16string PlaceReportParameters(CSingleDataSource& data_source, LONG report_id,
                                     std::u16string_view sql, const ReportParameters& parameters);

}  // namespace korvalis::report
