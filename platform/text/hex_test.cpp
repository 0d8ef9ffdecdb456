#include "platform/text/hex.h"

#include <gtest/gtest.h>

namespace korvalis {
namespace {

TEST(HexTest, EachByteIsTwoDigitsHighNibbleFirstInTheLettersAsked) {
  const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
  EXPECT_EQ(HexText(bytes, HexLetters::kCapital), "000FA5FF");
  EXPECT_EQ(HexText(bytes, HexLetters::kSmall), "000fa5ff");
  EXPECT_EQ(HexText({}, HexLetters::kSmall), "");
  std::u16string wide = u"%";
  AppendHexByte(wide, 0x3F, HexLetters::kCapital);
  EXPECT_EQ(wide, u"%3F");
  EXPECT_EQ(HexDigit(0x1B, HexLetters::kSmall), 'b');
}

}  // namespace
}  // namespace korvalis
