#include "platform/text/control_escape.h"

#include <cstdint>

#include "platform/text/hex.h"

namespace korvalis {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte that the two digits at text[at] write, or -1.
int HexByte(std::string_view text, std::size_t at) {
  if (at + 2 > text.size()) return -1;
  const int high = HexValue(text[at]);
  const int low = HexValue(text[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '\\': out += "\\\\"; continue;
      case '\t': out += "\\t"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      default: break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      AppendHexByte(out, byte, HexLetters::kSmall);
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += "\\u00";
      AppendHexByte(out, static_cast<std::uint8_t>(text[++i]), HexLetters::kSmall);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string UnescapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char kind = text[i + 1];
    int byte = -1;
    if (kind == 'x') {
      byte = HexByte(text, i + 2);
      if (byte >= 0) {
        out.push_back(static_cast<char>(byte));
        i += 3;
        continue;
      }
    } else if (kind == 'u' && text.substr(i + 2, 2) == "00") {
      byte = HexByte(text, i + 4);
      if (byte >= 0x80 && byte <= 0x9F) {
        out.push_back('\xC2');
        out.push_back(static_cast<char>(byte));
        i += 5;
        continue;
      }
    }
    switch (kind) {
      case 't': out.push_back('\t'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case '\\': out.push_back('\\'); break;
      default: out.push_back('\\'); out.push_back(kind); break;
    }
    ++i;
  }
  return out;
}

}  // namespace korvalis
