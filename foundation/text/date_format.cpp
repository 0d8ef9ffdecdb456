#include "foundation/text/date_format.h"

#include <mutex>
#include <xercesc/dom/DOM.hpp>

#include "foundation/data/emr_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/ascii.h"

namespace {

constexpr const char16_t* kBuiltInPatterns[] = {
    u"hh:MM",
    u"mm-dd",
    u"yyyy-mm-dd",
    u"yyyy-mm-dd hh",
    u"yyyy-mm-dd hh:MM",
    u"yyyy-mm-dd hh:MM:ss",
    u"mm/dd",
    u"yyyy/mm/dd",
    u"yyyy/mm/dd hh",
    u"yyyy/mm/dd hh:MM",
    u"yyyy/mm/dd hh:MM:ss",
    u"mm.dd",
    u"yyyy.mm.dd",
    u"yyyy.mm.dd hh",
    u"yyyy.mm.dd hh:MM",
    u"yyyy.mm.dd hh:MM:ss",
    u"yyyy年mm月dd日",
    u"yyyy年mm月dd日 hh时",
    u"yyyy年mm月dd日 hh时MM分",
    u"yyyy年mm月dd日 hh时MM分ss秒",
};

// The process-wide pattern table and the guard of its filling.
struct PatternTable {
  std::mutex mutex;
  bool filled = false;
  std::map<std::u16string, std::u16string> patterns;
};

PatternTable& Table() {
  static PatternTable& table = *new PatternTable;
  return table;
}


// Reads 1 to `max_digits` digits at `pos`.
bool ReadNumber(const std::u16string& text, std::size_t& pos, std::size_t max_digits, int& value) {
  std::size_t digits = 0;
  value = 0;
  while (pos < text.size() && korvalis::IsAsciiDigit(text[pos]) && digits < max_digits) {
    value = value * 10 + (text[pos] - u'0');
    ++pos;
    ++digits;
  }
  return digits > 0 && (pos >= text.size() || !korvalis::IsAsciiDigit(text[pos]));
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// "Y-M-D", "Y/M/D", "Y.M.D" or "Y年M月D日" at `pos`.
bool ReadDate(const std::u16string& text, std::size_t& pos, DateTimeParts& parts) {
  if (!ReadNumber(text, pos, 4, parts.year) || parts.year < 100) return false;
  if (pos >= text.size()) return false;
  const char16_t separator = text[pos];
  const bool chinese = separator == u'年';
  if (!chinese && separator != u'-' && separator != u'/' && separator != u'.') return false;
  ++pos;
  if (!ReadNumber(text, pos, 2, parts.month)) return false;
  if (pos >= text.size() || text[pos] != (chinese ? u'月' : separator)) return false;
  ++pos;
  if (!ReadNumber(text, pos, 2, parts.day)) return false;
  if (chinese) {
    if (pos >= text.size() || text[pos] != u'日') return false;
    ++pos;
  }
  return parts.month >= 1 && parts.month <= 12 && parts.day >= 1 &&
         parts.day <= DaysInMonth(parts.year, parts.month);
}

// "H:M" or "H:M:S" at `pos`.
bool ReadTime(const std::u16string& text, std::size_t& pos, DateTimeParts& parts) {
  if (!ReadNumber(text, pos, 2, parts.hour)) return false;
  if (pos >= text.size() || text[pos] != u':') return false;
  ++pos;
  if (!ReadNumber(text, pos, 2, parts.minute)) return false;
  parts.second = 0;
  if (pos < text.size() && text[pos] == u':') {
    ++pos;
    if (!ReadNumber(text, pos, 2, parts.second)) return false;
  }
  return parts.hour <= 23 && parts.minute <= 59 && parts.second <= 59;
}

}  // namespace

bool ParseDateTimeText(const std::u16string& text, DateTimeParts& parts) {
  const std::u16string trimmed(korvalis::TrimAsciiBlanks(text));
  if (trimmed.empty()) return false;

  DateTimeParts result;
  std::size_t pos = 0;
  if (trimmed.find(u':') != std::u16string::npos &&
      trimmed.find_first_of(u"-/.年") == std::u16string::npos) {
    result.year = 1899;
    result.month = 12;
    result.day = 30;
    if (!ReadTime(trimmed, pos, result) || pos != trimmed.size()) return false;
    parts = result;
    return true;
  }
  if (!ReadDate(trimmed, pos, result)) return false;
  result.hour = result.minute = result.second = 0;
  if (pos < trimmed.size()) {
    if (trimmed[pos] == u'T') {
      ++pos;
    } else {
      if (!korvalis::IsAsciiBlank(trimmed[pos])) return false;
      while (pos < trimmed.size() && korvalis::IsAsciiBlank(trimmed[pos])) ++pos;
    }
    if (!ReadTime(trimmed, pos, result) || pos != trimmed.size()) return false;
  }
  parts = result;
  return true;
}

CDateFormat::CDateFormat() = default;

CDateFormat::~CDateFormat() = default;

bool CDateFormat::Format(const std::u16string& date, const std::u16string& pattern,
                         std::u16string& out) {
  if (!ParseDate(date)) return false;
  out = FormatParsed(pattern);
  return true;
}

bool CDateFormat::ParseDate(const std::u16string& date) {
  DateTimeParts parts;
  valid_ = ParseDateTimeText(date, parts);
  parsed_ = valid_ ? parts : DateTimeParts();
  return valid_;
}

std::u16string CDateFormat::FormatParsed(const std::u16string& pattern) {
  InitPatterns();
  bool known;
  {
    PatternTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    known = table.patterns.count(pattern) != 0;
  }
  const auto number = [](int value) { return IntToString(value); };
  const auto padded = [&](int value) {
    return value < 0 ? number(value) : PadNumber(number(value), 2);
  };
  if (!known) {
    if (!valid_) return std::u16string();
    return number(parsed_.year) + u"-" + padded(parsed_.month) + u"-" + padded(parsed_.day) + u" " +
           padded(parsed_.hour) + u":" + padded(parsed_.minute) + u":" + padded(parsed_.second);
  }
  token_values_.clear();
  token_values_[u"yyyy"] = number(parsed_.year);
  token_values_[u"yy"] = parsed_.year < 0 ? number(parsed_.year) : number(parsed_.year % 100);
  token_values_[u"mm"] = padded(parsed_.month);
  token_values_[u"dd"] = padded(parsed_.day);
  token_values_[u"hh"] = padded(parsed_.hour);
  token_values_[u"MM"] = padded(parsed_.minute);
  token_values_[u"ss"] = padded(parsed_.second);
  std::u16string result = pattern;
  for (const auto& [token, value] : token_values_) ReplaceAll(result, token, value);
  return result;
}

void CDateFormat::InitPatterns() {
  PatternTable& table = Table();
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    if (table.filled) return;
    for (const char16_t* pattern : kBuiltInPatterns)
      table.patterns.emplace(pattern, std::u16string());
    table.filled = true;
  }
  // Read outside the lock: the database may be slow, and concurrent first formats meanwhile
  // see the built-in patterns.
  LoadConfiguredFormats();
}

void CDateFormat::AddPattern(const std::u16string& pattern) {
  PatternTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.patterns.emplace(pattern, std::u16string());
}

void CDateFormat::LoadConfiguredFormats() {
  try {
    std::u16string text;
    CEMRDataSource data_source;
    data_source.QueryScalar(
        u"SELECT VALUE FROM TELV_SYS_PARAM WHERE NAME = 'system_datetime_format'", text);
    CXmlStringParser parser(text);
    const xercesc::DOMDocument* document = parser.GetDocument();
    if (document == nullptr || document->getDocumentElement() == nullptr) return;
    for (const xercesc::DOMNode* child = document->getDocumentElement()->getFirstChild();
         child != nullptr; child = child->getNextSibling()) {
      if (child->getNodeType() != xercesc::DOMNode::ELEMENT_NODE ||
          std::u16string_view(child->getNodeName()) != u"format") {
        continue;
      }
      const XMLCh* pattern = child->getTextContent();
      AddPattern(pattern != nullptr ? std::u16string(pattern) : std::u16string());
    }
  } catch (...) {
    // The built-in patterns serve.
  }
}

std::u16string CDateFormat::PadNumber(const std::u16string& text, std::size_t width) {
  if (text.size() >= width) return text;
  return std::u16string(width - text.size(), u'0') + text;
}
