#include "report/parameter_placement.h"

#include <algorithm>

#include "foundation/calls/emr_exception.h"
#include "foundation/data/database_error.h"
#include "foundation/data/db_type.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

namespace korvalis::report {

namespace {

using datasource::QuotedStatement;

// Where the scan stands in the author's text.
//
//   kCode ──'──▶ kLiteral ──'──▶ kCode        (a doubled '' leaves and re-enters at once)
//   kCode ──q'[──▶ kDelimitedLiteral ──]'──▶ kCode   (any delimiter and its closer)
//   kCode ──"──▶ kQuotedName ──"──▶ kCode
//   kCode ──--──▶ kLineComment ──line feed──▶ kCode
//   kCode ──/*──▶ kBlockComment ──*/──▶ kCode
enum class Context {
  kCode,
  kLiteral,
  kDelimitedLiteral,
  kQuotedName,
  kLineComment,
  kBlockComment
};

bool IsWordUnit(char16_t c) {
  return IsAsciiAlnum(c) || c == u'_' || c == u'$' || c == u'#' || c >= 0x80;
}

// The length of the opening of a delimited literal (q'[ or nq'[) at `i`, and its closer (the
// closing delimiter and a quote); 0 when none opens there.
std::size_t DelimitedLiteralOpening(std::u16string_view sql, std::size_t i,
                                    std::u16string* closer) {
  if (i > 0 && IsWordUnit(sql[i - 1])) return 0;
  std::size_t q = i;
  if (q < sql.size() && (sql[q] == u'n' || sql[q] == u'N')) ++q;
  if (q + 2 >= sql.size() || (sql[q] != u'q' && sql[q] != u'Q') || sql[q + 1] != u'\'') return 0;
  const char16_t d = sql[q + 2];
  if (IsAsciiSpace(d) || d == u'\'') return 0;
  const std::size_t width = d >= 0xD800 && d < 0xDC00 && q + 3 < sql.size() ? 2 : 1;
  switch (d) {
    case u'[': *closer = u"]"; break;
    case u'{': *closer = u"}"; break;
    case u'(': *closer = u")"; break;
    case u'<': *closer = u">"; break;
    default: *closer = std::u16string(sql.substr(q + 2, width)); break;
  }
  closer->push_back(u'\'');
  return q + 2 + width - i;
}

// A value placed as it is inside a delimited literal, which no escape can protect: one whose
// text would close the literal, alone or with the literal's text around it (`before`, `after`),
// is refused.
std::u16string DelimitedLiteralValue(const std::u16string& code, const std::u16string& value,
                                     std::u16string_view before, std::u16string_view after,
                                     const std::u16string& closer) {
  const std::size_t reach = closer.size() - 1;
  std::u16string around(before.substr(before.size() - std::min(before.size(), reach)));
  around.append(value).append(after.substr(0, reach));
  if (around.find(closer) != std::u16string::npos) {
    throw CEMRException(u"参数值会结束它所在的分隔字符串: '" + value + u"' (" + code + u")");
  }
  return value;
}

std::u16string QuotedNameEscaped(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    out.push_back(c);
    if (c == u'"') out.push_back(u'"');
  }
  return out;
}

std::u16string Replacement(const std::u16string& code, const ReportParameter& parameter,
                           Context context, const CDBType& dialect) {
  // Between the author's quotes the value is the literal's (or the name's) content.
  if (context == Context::kLiteral) return SqlEscaped(parameter.value);
  if (context == Context::kQuotedName) return QuotedNameEscaped(parameter.value);
  switch (parameter.type) {
    case ParameterType::kString:
      return SqlQuoted(parameter.value);
    case ParameterType::kDate:
      return SqlDateValue(dialect, parameter.value);
    case ParameterType::kBare:
      break;
  }
  return SqlNumberList(parameter.value, code);
}

// The parameter whose placeholder starts at `at` (a "{"), the lowest code first.
const ReportParameters::value_type* PlaceholderAt(std::u16string_view sql, std::size_t at,
                                                  const ReportParameters& parameters) {
  const std::u16string_view rest = sql.substr(at + 1);
  for (const auto& entry : parameters) {
    const std::u16string& code = entry.first;
    if (rest.size() > code.size() && rest.starts_with(code) && rest[code.size()] == u'}') {
      return &entry;
    }
  }
  return nullptr;
}

bool At(std::u16string_view sql, std::size_t at, char16_t c) {
  return at < sql.size() && sql[at] == c;
}

// The placeholder that starts at `at` (a "{"): "{" + a code of word units, "." or "-" + "}";
// empty when none does.
std::u16string_view PlaceholderShapeAt(std::u16string_view sql, std::size_t at) {
  std::size_t end = at + 1;
  while (end < sql.size() && (IsWordUnit(sql[end]) || sql[end] == u'.' || sql[end] == u'-')) {
    ++end;
  }
  if (end == at + 1 || !At(sql, end, u'}')) return {};
  return sql.substr(at, end + 1 - at);
}

// Throws PlacedStatementTooLong when `added` units more would take a statement of `placed`
// units, with `rest` units of the author's text still to come, past the bound.
void CheckRoom(std::size_t placed, std::size_t added, std::size_t rest) {
  if (added > kMaxPlacedStatementUnits || placed + rest > kMaxPlacedStatementUnits - added) {
    throw PlacedStatementTooLong();
  }
}

// Where the scan stands, and what it knows of the delimited literal it stands in.
struct Scan {
  Context context = Context::kCode;
  std::u16string closer;         // what ends the delimited literal
  std::size_t literal_text = 0;  // where that literal's text starts in the placed statement
};

// Moves the scan over the author's text at `i` (`out_size` units placed so far) and answers how
// many units it passed: the transitions drawn above.
std::size_t Step(std::u16string_view sql, std::size_t i, std::size_t out_size, Scan& scan) {
  const char16_t c = sql[i];
  std::size_t length = 1;
  switch (scan.context) {
    case Context::kCode:
      if (const std::size_t opening = DelimitedLiteralOpening(sql, i, &scan.closer)) {
        scan.context = Context::kDelimitedLiteral;
        length = opening;
        scan.literal_text = out_size + opening;
      } else if (c == u'\'') {
        scan.context = Context::kLiteral;
      } else if (c == u'"') {
        scan.context = Context::kQuotedName;
      } else if (c == u'-' && At(sql, i + 1, u'-')) {
        scan.context = Context::kLineComment;
        length = 2;
      } else if (c == u'/' && At(sql, i + 1, u'*')) {
        scan.context = Context::kBlockComment;
        length = 2;
      }
      break;
    case Context::kLiteral:
      if (c == u'\'') scan.context = Context::kCode;
      break;
    case Context::kDelimitedLiteral:
      if (sql.substr(i).starts_with(scan.closer)) {
        scan.context = Context::kCode;
        length = scan.closer.size();
      }
      break;
    case Context::kQuotedName:
      if (c == u'"') scan.context = Context::kCode;
      break;
    case Context::kLineComment:
      if (c == u'\n') scan.context = Context::kCode;
      break;
    case Context::kBlockComment:
      if (c == u'*' && At(sql, i + 1, u'/')) {
        scan.context = Context::kCode;
        length = 2;
      }
      break;
  }
  return length;
}

}  // namespace

ParameterType ParameterTypeOf(std::u16string_view type) {
  const std::u16string upper = AsciiUpper(type);
  if (upper == u"STRING") return ParameterType::kString;
  if (upper == u"DATE") return ParameterType::kDate;
  return ParameterType::kBare;
}

std::u16string PlaceParameters(std::u16string_view sql, const ReportParameters& parameters,
                               const CDBType& dialect) {
  CheckRoom(0, 0, sql.size());
  std::u16string out;
  out.reserve(sql.size());
  Scan scan;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char16_t c = sql[i];
    const Context context = scan.context;
    const bool in_comment = context == Context::kLineComment || context == Context::kBlockComment;
    if (c == u'{' && !in_comment) {
      if (const auto* placeholder = PlaceholderAt(sql, i, parameters)) {
        const std::size_t after = i + placeholder->first.size() + 2;
        // A value's text is no shorter than what is placed for it, blanks of a list aside.
        CheckRoom(out.size(), placeholder->second.value.size(), sql.size() - after);
        std::u16string value =
            context == Context::kDelimitedLiteral
                ? DelimitedLiteralValue(placeholder->first, placeholder->second.value,
                                        std::u16string_view(out).substr(scan.literal_text),
                                        sql.substr(after), scan.closer)
                : Replacement(placeholder->first, placeholder->second, context, dialect);
        // "-" before a negative number would open a comment (a delimited literal's text is
        // taken as it stands).
        const bool apart =
            context != Context::kDelimitedLiteral && value.starts_with(u'-') && out.ends_with(u'-');
        CheckRoom(out.size(), value.size() + (apart ? 1 : 0), sql.size() - after);
        if (apart) out.push_back(u' ');
        out += value;
        i = after;
        continue;
      }
      const std::u16string_view unfilled = PlaceholderShapeAt(sql, i);
      if (context == Context::kCode && !unfilled.empty()) {
        throw CEMRException(u"报表参数未赋值,无法生成报表: " + QuotedStatement(unfilled));
      }
    }
    const std::size_t length = Step(sql, i, out.size(), scan);
    out.append(sql.substr(i, length));
    i += length;
  }
  return out;
}

std::u16string PlaceReportParameters(CSingleDataSource& data_source, LONG report_id,
                                     std::u16string_view sql, const ReportParameters& parameters) {
  try {
    return PlaceParameters(sql, parameters, *data_source.GetDBType());
  } catch (const PlacedStatementTooLong&) {
    const std::u16string id = IntToString(report_id);
    std::u16string name;
    data_source.QueryScalar(u"SELECT NAME FROM TELV_REPORT WHERE ID = " + id, name);
    throw CEMRException(u"报表'" + name + u"'(ID=" + id + u")的SQL语句放入参数后超过" +
                        FromUtf8(std::to_string(kMaxPlacedStatementUnits)) +
                        u"个字符的上限, 已拒绝");
  }
}

}  // namespace korvalis::report
