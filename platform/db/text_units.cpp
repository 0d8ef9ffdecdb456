#include "platform/db/text_units.h"

#include <cstdint>

#include "platform/db/xml_character_content.h"
#include "platform/text/ascii.h"
#include "platform/text/utf8.h"

namespace korvalis::db::text {
namespace {

bool IsCjk(uint32_t cp) {
  return (cp >= 0x2E80 && cp <= 0x2FDF) || (cp >= 0x3040 && cp <= 0x30FF) ||
         (cp >= 0x3100 && cp <= 0x31BF) || (cp >= 0x31F0 && cp <= 0x31FF) ||
         (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
         (cp >= 0xA000 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x3FFFF);
}

}  // namespace

CharClass ClassOf(uint32_t cp) {
  if (cp < 0x80) {
    const bool alnum = IsAsciiAlnum(static_cast<char>(cp));
    return alnum ? CharClass::kWord : CharClass::kSeparator;
  }
  if (IsCjk(cp)) return CharClass::kCjk;
  if (cp <= 0xBF || cp == 0xD7 || cp == 0xF7) return CharClass::kSeparator;
  if ((cp >= 0x2000 && cp <= 0x2BFF) || (cp >= 0x3000 && cp <= 0x303F) ||
      (cp >= 0xE000 && cp <= 0xF8FF) || (cp >= 0xFE30 && cp <= 0xFE4F) || cp >= 0xFFF0) {
    return CharClass::kSeparator;
  }
  if (cp >= 0xFF00 && cp <= 0xFFEF) {
    const bool alnum = (cp >= 0xFF10 && cp <= 0xFF19) || (cp >= 0xFF21 && cp <= 0xFF3A) ||
                       (cp >= 0xFF41 && cp <= 0xFF5A);
    return alnum ? CharClass::kWord : CharClass::kSeparator;
  }
  return CharClass::kWord;
}

uint32_t FoldCase(uint32_t cp) {
  if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;  // full-width forms to ASCII
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) || (cp >= 0x391 && cp <= 0x3A9) ||
      (cp >= 0x410 && cp <= 0x42F)) {
    return cp + 32;
  }
  return cp;
}

namespace {

std::vector<Unit> Split(std::string_view text, bool wildcards) {
  std::vector<Unit> units;
  Unit current;
  bool open = false;
  size_t i = 0;
  while (i < text.size()) {
    const size_t at = i;
    const uint32_t cp = DecodeUtf8(text, &i);
    CharClass cls = ClassOf(cp);
    if (wildcards && (cp == '%' || cp == '_')) cls = CharClass::kWord;
    if (cls == CharClass::kSeparator) {
      if (open) units.push_back(std::move(current));
      open = false;
      continue;
    }
    const bool cjk = cls == CharClass::kCjk;
    if (open && current.cjk != cjk) {
      units.push_back(std::move(current));
      open = false;
    }
    if (!open) {
      current = Unit{cjk, std::string(), at, at};
      open = true;
    }
    AppendUtf8(cjk ? cp : FoldCase(cp), &current.text);
    current.end = i;
  }
  if (open) units.push_back(std::move(current));
  return units;
}

}  // namespace

std::vector<Unit> SplitUnits(std::string_view text, TextKind kind) {
  if (kind == TextKind::kXml) return Split(XmlCharacterContent(text), false);
  return Split(text, false);
}

std::vector<Unit> SplitQueryUnits(std::string_view phrase) { return Split(phrase, true); }

std::string UnitString(std::string_view text, TextKind kind) {
  std::string out = " ";
  for (const Unit& u : SplitUnits(text, kind)) {
    if (u.cjk) out.push_back(kCjkMark);
    out.append(u.text).push_back(' ');
  }
  return out;
}

void ChineseRunTokens(std::string_view run, bool for_query, std::vector<IndexToken>* tokens) {
  std::vector<std::string_view> chars;
  for (size_t i = 0; i < run.size();) {
    const size_t at = i;
    DecodeUtf8(run, &i);
    chars.push_back(run.substr(at, i - at));
  }
  if (for_query) {
    if (chars.size() == 1) tokens->push_back(IndexToken{std::string(chars[0]), false});
    for (size_t k = 0; k + 1 < chars.size(); ++k) {
      tokens->push_back(IndexToken{std::string(chars[k]) + std::string(chars[k + 1]), false});
    }
    return;
  }
  for (size_t k = 0; k < chars.size(); ++k) {
    tokens->push_back(IndexToken{std::string(chars[k]), false});
    if (k + 1 < chars.size()) {
      tokens->push_back(IndexToken{std::string(chars[k]) + std::string(chars[k + 1]), true});
    }
  }
}

}  // namespace korvalis::db::text
