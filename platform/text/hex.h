// Hexadecimal digits of bytes: two digits a byte, the high nibble first, in capital or small
// letters, appended to narrow (UTF-8) or UTF-16 text. The one home of the hex writers (URI
// percent-encoding, digests as text, logged raw bytes, random identifiers).
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/text/ascii.h"

namespace korvalis {

enum class HexLetters { kCapital, kSmall };

// The digit of `nibble` (its low four bits).
template <TextChar Char = char>
constexpr Char HexDigit(unsigned nibble, HexLetters letters) {
  constexpr char kCapital[] = "0123456789ABCDEF";
  constexpr char kSmall[] = "0123456789abcdef";
  return static_cast<Char>((letters == HexLetters::kCapital ? kCapital : kSmall)[nibble & 0xF]);
}

// Appends the two digits of `byte`.
template <TextChar Char>
void AppendHexByte(std::basic_string<Char>& text, std::uint8_t byte, HexLetters letters) {
  text.push_back(HexDigit<Char>(byte >> 4, letters));
  text.push_back(HexDigit<Char>(byte, letters));
}

// The digits of every byte, in order.
inline std::string HexText(std::span<const std::uint8_t> bytes, HexLetters letters) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) AppendHexByte(text, byte, letters);
  return text;
}

}  // namespace korvalis
