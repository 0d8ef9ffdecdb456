#include "platform/com/bstr.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint32_t PrefixOf(BSTR b) {
  std::uint32_t count;
  std::memcpy(&count, reinterpret_cast<const char*>(b) - 4, 4);
  return count;
}

TEST(Bstr, LayoutHasByteCountBeforeAndZeroAfter) {
  BSTR b = SysAllocString(u"病历ab");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PrefixOf(b), 8u);
  EXPECT_EQ(SysStringLen(b), 4u);
  EXPECT_EQ(SysStringByteLen(b), 8u);
  EXPECT_EQ(b[4], u'\0');
  EXPECT_EQ(korvalis::BstrView(b), u"病历ab");
  SysFreeString(b);
}

TEST(Bstr, OddByteLengthKeepsBytesAndTerminator) {
  const char bytes[] = {'\x01', '\0', '\xff'};
  BSTR b = SysAllocStringByteLen(bytes, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PrefixOf(b), 3u);
  EXPECT_EQ(SysStringByteLen(b), 3u);
  EXPECT_EQ(SysStringLen(b), 1u);
  const auto* raw = reinterpret_cast<const unsigned char*>(b);
  EXPECT_EQ(raw[0], 0x01);
  EXPECT_EQ(raw[1], 0x00);
  EXPECT_EQ(raw[2], 0xff);
  EXPECT_EQ(raw[3], 0x00);
  EXPECT_EQ(raw[4], 0x00);
  SysFreeString(b);
}

TEST(Bstr, NullAndEmptyDiffer) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  EXPECT_TRUE(korvalis::BstrView(nullptr).empty());
  SysFreeString(nullptr);

  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(empty[0], u'\0');
  SysFreeString(empty);

  BSTR from_view = korvalis::AllocBstr(u"");
  EXPECT_NE(from_view, nullptr);
  SysFreeString(from_view);
}

TEST(Bstr, LengthFormsZeroFillAndKeepEmbeddedZeros) {
  BSTR zeros = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(zeros[0], 0);
  EXPECT_EQ(zeros[2], 0);
  SysFreeString(zeros);

  BSTR embedded = korvalis::AllocBstr(std::u16string_view(u"a\0b", 3));
  EXPECT_EQ(SysStringLen(embedded), 3u);
  EXPECT_EQ(korvalis::BstrView(embedded), std::u16string_view(u"a\0b", 3));
  SysFreeString(embedded);
}

TEST(Bstr, OverflowingLengthsFail) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
  BSTR b = SysAllocString(u"keep");
  EXPECT_EQ(SysReAllocStringLen(&b, nullptr, 0xFFFFFFFFu), 0);
  EXPECT_EQ(korvalis::BstrView(b), u"keep");
  SysFreeString(b);
}

TEST(Bstr, ReallocAcceptsItsOwnCharacters) {
  BSTR b = SysAllocString(u"hello world");
  ASSERT_EQ(SysReAllocString(&b, b + 6), 1);
  EXPECT_EQ(korvalis::BstrView(b), u"world");
  ASSERT_EQ(SysReAllocStringLen(&b, b, 2), 1);
  EXPECT_EQ(korvalis::BstrView(b), u"wo");
  EXPECT_EQ(SysReAllocString(nullptr, u"x"), 0);
  SysFreeString(b);
}

}  // namespace
