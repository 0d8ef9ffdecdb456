#include "platform/text/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<char32_t> CodePoints(std::string_view text) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < text.size();) out.push_back(korvalis::DecodeUtf8(text, &i));
  return out;
}

std::vector<char32_t> CodePoints(std::u16string_view text) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < text.size();) out.push_back(korvalis::DecodeUtf16(text, &i));
  return out;
}

TEST(Utf8, EveryWidthDecodesAndEncodesAtItsBoundaries) {
  const std::vector<char32_t> points{0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF};
  std::string utf8;
  std::u16string utf16;
  for (char32_t cp : points) {
    korvalis::AppendUtf8(cp, &utf8);
    korvalis::AppendUtf16(cp, &utf16);
  }
  EXPECT_EQ(utf8, std::string("\0\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"
                              "\xF4\x8F\xBF\xBF",
                              20));
  EXPECT_EQ(utf16,
            (std::u16string{0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF}));
  EXPECT_EQ(CodePoints(utf8), points);
  EXPECT_EQ(CodePoints(utf16), points);
  // Each sequence's lead byte tells its width, and a scan by widths lands on every start.
  std::vector<size_t> starts;
  for (size_t i = 0; i < utf8.size(); i += korvalis::Utf8SequenceWidth(utf8[i])) {
    starts.push_back(i);
  }
  EXPECT_EQ(starts, (std::vector<size_t>{0, 1, 2, 4, 6, 9, 12, 16}));
  // A byte that begins no sequence is one byte wide, so that a scan moves on.
  for (unsigned char stray : {0x80, 0xBF, 0xF8, 0xFF}) {
    EXPECT_EQ(korvalis::Utf8SequenceWidth(stray), 1u) << int{stray};
  }
}

TEST(Utf8, IllFormedInputReadsAsReplacementPerMaximalPart) {
  using V = std::vector<char32_t>;
  EXPECT_EQ(CodePoints(std::string_view("\x80"
                                        "a")),
            (V{0xFFFD, 'a'}));
  EXPECT_EQ(CodePoints(std::string_view("\xC0\xAF")), (V{0xFFFD, 0xFFFD}));
  EXPECT_EQ(CodePoints(std::string_view("\xED\xA0\x80")), (V{0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(CodePoints(std::string_view("\xF4\x90\x80\x80")), (V{0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(CodePoints(std::string_view("\xE7\x97"
                                        "a")),
            (V{0xFFFD, 'a'}));
  EXPECT_EQ(CodePoints(std::string_view("\xF0\x9F\x98")), (V{0xFFFD}));
  EXPECT_EQ(CodePoints(std::u16string_view(u"\xD800x\xDC00")), (V{0xFFFD, 'x', 0xFFFD}));
  EXPECT_EQ(CodePoints(std::u16string(1, 0xDBFF)), (V{0xFFFD}));
}

}  // namespace
