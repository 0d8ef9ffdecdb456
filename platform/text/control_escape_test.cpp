#include "platform/text/control_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace korvalis {
namespace {

TEST(ControlEscape, ControlsBecomeVisibleAndReadBackExactly) {
  EXPECT_EQ(EscapeControls("a\\b\tc\nd\re\x1b[31mRED\x7f\x01 \xC2\x9B" "0m 病 \xC2\xA0"),
            "a\\\\b\\tc\\nd\\re\\x1b[31mRED\\x7f\\x01 \\u009b0m 病 \xC2\xA0");
  std::string every;
  for (int c = 0; c < 0x80; ++c) every.push_back(static_cast<char>(c));
  every += "\xC2\x80\xC2\x9F\xC2\xA0 \\x41 \\u0085 \\n";  // escapes written by a caller stay theirs
  const std::string escaped = EscapeControls(every);
  for (char c : escaped) {
    EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << static_cast<int>(c);
  }
  EXPECT_EQ(UnescapeControls(escaped), every);
  // A backslash that begins no escape is read as it stands.
  EXPECT_EQ(UnescapeControls("a\\qb\\x4\\u0041\\"), "a\\qb\\x4\\u0041\\");
}

}  // namespace
}  // namespace korvalis
