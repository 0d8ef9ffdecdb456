#include "tools/xml_declaration.h"

#include <string_view>

namespace korvalis::tools {
namespace {

bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string WithUtf8Declaration(std::string text) {
  constexpr std::string_view kOpening = "<?xml";
  if (!text.starts_with(kOpening) || text.size() == kOpening.size() ||
      !IsXmlBlank(text[kOpening.size()])) {
    return text;
  }
  const std::size_t end = text.find("?>");
  if (end == std::string::npos) return text;
  const std::string_view declaration(text.data(), end);
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return text;
  at += std::string_view("encoding").size();
  while (at < end && IsXmlBlank(text[at])) ++at;
  if (at == end || text[at] != '=') return text;
  ++at;
  while (at < end && IsXmlBlank(text[at])) ++at;
  if (at == end || (text[at] != '"' && text[at] != '\'')) return text;
  const std::size_t value = at + 1;
  const std::size_t closing = declaration.find(text[at], value);
  if (closing == std::string_view::npos) return text;
  text.replace(value, closing - value, "UTF-8");
  return text;
}

}  // namespace korvalis::tools
