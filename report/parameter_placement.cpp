#include "report/parameter_placement.h"

#include "foundation/data/db_type.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "platform/text/ascii.h"

namespace korvalis::report {

namespace {

// Where the scan stands in the author's text.
//
//   kCode ──'──▶ kLiteral ──'──▶ kCode        (a doubled '' leaves and re-enters at once)
//   kCode ──"──▶ kQuotedName ──"──▶ kCode
//   kCode ──--──▶ kLineComment ──line feed──▶ kCode
//   kCode ──/*──▶ kBlockComment ──*/──▶ kCode
enum class Context { kCode, kLiteral, kQuotedName, kLineComment, kBlockComment };

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

}  // namespace

ParameterType ParameterTypeOf(std::u16string_view type) {
  const std::u16string upper = AsciiUpper(type);
  if (upper == u"STRING") return ParameterType::kString;
  if (upper == u"DATE") return ParameterType::kDate;
  return ParameterType::kBare;
}

std::u16string PlaceParameters(std::u16string_view sql, const ReportParameters& parameters,
                               const CDBType& dialect) {
  std::u16string out;
  out.reserve(sql.size());
  Context context = Context::kCode;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char16_t c = sql[i];
    const bool in_comment = context == Context::kLineComment || context == Context::kBlockComment;
    if (c == u'{' && !in_comment) {
      if (const auto* placeholder = PlaceholderAt(sql, i, parameters)) {
        std::u16string value =
            Replacement(placeholder->first, placeholder->second, context, dialect);
        // "-" before a negative number would open a comment.
        if (value.starts_with(u'-') && out.ends_with(u'-')) out.push_back(u' ');
        out += value;
        i += placeholder->first.size() + 2;
        continue;
      }
    }
    std::size_t length = 1;
    switch (context) {
      case Context::kCode:
        if (c == u'\'') {
          context = Context::kLiteral;
        } else if (c == u'"') {
          context = Context::kQuotedName;
        } else if (c == u'-' && At(sql, i + 1, u'-')) {
          context = Context::kLineComment;
          length = 2;
        } else if (c == u'/' && At(sql, i + 1, u'*')) {
          context = Context::kBlockComment;
          length = 2;
        }
        break;
      case Context::kLiteral:
        if (c == u'\'') context = Context::kCode;
        break;
      case Context::kQuotedName:
        if (c == u'"') context = Context::kCode;
        break;
      case Context::kLineComment:
        if (c == u'\n') context = Context::kCode;
        break;
      case Context::kBlockComment:
        if (c == u'*' && At(sql, i + 1, u'/')) {
          context = Context::kCode;
          length = 2;
        }
        break;
    }
    out.append(sql.substr(i, length));
    i += length;
  }
  return out;
}

}  // namespace korvalis::report
