#include "foundation/codec/emr_encoder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::codec::testing::Ascii;
using korvalis::codec::testing::CodecOutput;
using korvalis::codec::testing::Noise;
using korvalis::testing::FailureOf;

const std::u16string kInvalid = u"Base64执行解码错误";

std::u16string Encode(const std::vector<BYTE>& bytes) {
  std::u16string text = u"previous";
  CBase64Encoder().Encode(bytes.data(), static_cast<ULONG>(bytes.size()), text);
  return text;
}

std::vector<BYTE> Decode(std::u16string_view text) {
  CodecOutput out;
  CBase64Encoder().Decode(text, out.pb, out.cb);
  return out.Bytes();
}

std::vector<BYTE> Range(size_t size) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(i);
  return bytes;
}

TEST(Base64EncoderTest, WritesLinesOf60CharactersEachEndedByALineFeed) {
  EXPECT_EQ(Encode({}), u"");
  EXPECT_EQ(Encode(Ascii("abc")), u"YWJj\n");
  EXPECT_EQ(Encode(Ascii("ab")), u"YWI=\n");
  EXPECT_EQ(Encode(Range(100)),
            u"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKiss\n"
            u"LS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZ\n"
            u"WltcXV5fYGFiYw==\n");
  // 45 bytes fill exactly one line; one byte more starts the next.
  EXPECT_EQ(Encode(Range(45)).size(), 61u);
  const std::u16string twoLines = Encode(Range(46));
  EXPECT_EQ(twoLines.size(), 66u);
  EXPECT_EQ(twoLines.find(u'\n'), 60u);
}

TEST(Base64EncoderTest, DecodesWithOrWithoutLineFeeds) {
  const std::vector<BYTE> bytes = Noise(1000);
  std::u16string text = Encode(bytes);
  EXPECT_EQ(Decode(text), bytes);
  std::u16string joined;
  for (char16_t c : text) {
    if (c != u'\n') joined.push_back(c);
  }
  EXPECT_EQ(Decode(joined), bytes);
  EXPECT_EQ(Decode(u"YW\r\nJj"), Ascii("abc"));
  // A text taken with its zero terminator ends there.
  EXPECT_EQ(Decode(std::u16string(u"YWJj\n\0junk", 10)), Ascii("abc"));
}

TEST(Base64EncoderTest, EmptyTextGivesNoBytesAndKeepsThePointer) {
  CodecOutput out;
  out.cb = 5;
  CBase64Encoder().Decode(u"", out.pb, out.cb);
  EXPECT_EQ(out.pb, nullptr);
  EXPECT_EQ(out.cb, 0u);
  out.cb = 5;
  CBase64Encoder().Decode(u" \n\r\n", out.pb, out.cb);
  EXPECT_EQ(out.pb, nullptr);
  EXPECT_EQ(out.cb, 0u);
}

TEST(Base64EncoderTest, RefusesTextThatIsNotBase64) {
  for (std::u16string_view text :
       {u"YWJ", u"Y!Jj", u"YW=j", u"====", u"病历病历", u"YWJj====="}) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    CodecOutput out;
    EXPECT_EQ(FailureOf([&] { CBase64Encoder().Decode(text, out.pb, out.cb); }), kInvalid);
    EXPECT_EQ(out.pb, nullptr);
  }
}

}  // namespace
