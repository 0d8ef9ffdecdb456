#include "foundation/xml/xml_text.h"

namespace korvalis {
namespace {

// What is written as a reference besides "&", "<", ">" and carriage return.
enum class Escapes { kText, kQuotes, kAttribute };

// The reference that stands for `c`, or nullptr when `c` is written as it is.
// The references are ASCII, so one table serves both character widths.
const char* ReferenceFor(char32_t c, Escapes escapes) {
  const bool quotes = escapes != Escapes::kText;
  switch (c) {
    case U'&':
      return "&amp;";
    case U'<':
      return "&lt;";
    case U'>':
      return "&gt;";
    case U'\r':
      return "&#13;";
    case U'"':
      return quotes ? "&quot;" : nullptr;
    case U'\'':
      return quotes ? "&apos;" : nullptr;
    case U'\t':
      return escapes == Escapes::kAttribute ? "&#9;" : nullptr;
    case U'\n':
      return escapes == Escapes::kAttribute ? "&#10;" : nullptr;
    default:
      return nullptr;
  }
}

// Appends `text` to `out`, copying the runs between escaped characters whole.
template <class Char>
void AppendEscaped(std::basic_string<Char>& out, std::basic_string_view<Char> text,
                   Escapes escapes) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* reference = ReferenceFor(static_cast<char32_t>(text[i]), escapes);
    if (reference == nullptr) continue;
    out.append(text.substr(run, i - run));
    for (const char* at = reference; *at != '\0'; ++at) out.push_back(static_cast<Char>(*at));
    run = i + 1;
  }
  out.append(text.substr(run));
}

}  // namespace

std::u16string XmlEscaped(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  AppendEscaped(out, text, Escapes::kText);
  return out;
}

std::u16string XmlEscapedWithQuotes(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  AppendEscaped(out, text, Escapes::kQuotes);
  return out;
}

void AppendXmlEscaped(std::u16string& out, std::u16string_view text) {
  AppendEscaped(out, text, Escapes::kText);
}

void AppendXmlEscapedWithQuotes(std::u16string& out, std::u16string_view text) {
  AppendEscaped(out, text, Escapes::kQuotes);
}

void AppendXmlAttributeValue(std::u16string& out, std::u16string_view text) {
  AppendEscaped(out, text, Escapes::kAttribute);
}

void AppendXmlTextElement(std::u16string& out, std::u16string_view name, std::u16string_view text) {
  out.append(u"<").append(name);
  if (text.empty()) {
    out.append(u"/>");
    return;
  }
  out.append(u">");
  AppendEscaped(out, text, Escapes::kText);
  out.append(u"</").append(name).append(u">");
}

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text, Escapes::kText);
  return out;
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
  AppendEscaped(out, text, Escapes::kText);
}

std::u16string XmlCarriable(std::u16string value) {
  for (char16_t& c : value) {
    if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) {
      c = 0xFFFD;
    }
  }
  return value;
}

}  // namespace korvalis
