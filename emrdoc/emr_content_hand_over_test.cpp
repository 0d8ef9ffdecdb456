#include "emrdoc/emr_content_hand_over.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/codec/codec_factory.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/emr_pages.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::com::ScopedBstr;

std::u16string FailureOf(BSTR packed) {
  try {
    UnpackEmrContent(packed);
  } catch (const CEMRException& e) {
    return e.GetText();
  }
  return u"";
}

// A page of about 120 KB: the hand-built pages repeated in one body.
std::u16string LargePage() {
  std::u16string body;
  const std::u16string pages[] = {
      korvalis::testing::ReadEmrPage("foundation/testdata/emr_admission.html"),
      korvalis::testing::ReadEmrPage("foundation/testdata/emr_operation.html"),
      korvalis::testing::ReadEmrPage("emrdoc/testdata/emr_live_record.html")};
  for (const std::u16string& page : pages) {
    if (page.empty()) return body;
  }
  for (int i = 0; body.size() * 2 < 120 * 1024; ++i) body += pages[i % 3];
  return body;
}

TEST(EmrContentHandOver, IsTheDefaultCompressionOfTheTextWithItsTerminator) {
  const std::u16string text = u"<HTML><BODY>入院记录</BODY></HTML>";
  ScopedBstr packed;
  *packed.out() = PackEmrContent(text);
  // What any reader of the form does: the default codec's BSTR unpacking.
  BSTR unpacked = packed.get();
  CreateCompression(-1)->UncompressBstr(unpacked);
  ScopedBstr owned;
  *owned.out() = unpacked;
  EXPECT_EQ(owned.text(), text + u'\0');
}

TEST(EmrContentHandOver, RoundTripsALargePage) {
  const std::u16string page = LargePage();
  ASSERT_GE(page.size() * 2, 120u * 1024);
  ScopedBstr packed;
  *packed.out() = PackEmrContent(page);
  EXPECT_LT(SysStringByteLen(packed.get()), page.size());  // compressed well below its bytes
  EXPECT_EQ(UnpackEmrContent(packed.get()), page);
}

TEST(EmrContentHandOver, KeepsOddCompressedByteCounts) {
  int odd = 0;
  for (int length = 1; length < 80 && odd < 5; ++length) {
    std::u16string text;
    for (int i = 0; i < length; ++i) text += static_cast<char16_t>(u'甲' + (i * 7919) % 500);
    ScopedBstr packed;
    *packed.out() = PackEmrContent(text);
    if (SysStringByteLen(packed.get()) % 2 == 0) continue;
    ++odd;
    EXPECT_EQ(UnpackEmrContent(packed.get()), text) << length;
  }
  EXPECT_EQ(odd, 5);
}

TEST(EmrContentHandOver, EmptyTextTravelsAsAnEmptyBstr) {
  ScopedBstr packed;
  *packed.out() = PackEmrContent(u"");
  ASSERT_NE(packed.get(), nullptr);
  EXPECT_EQ(SysStringByteLen(packed.get()), 0u);
  EXPECT_EQ(UnpackEmrContent(packed.get()), u"");
  EXPECT_EQ(UnpackEmrContent(nullptr), u"");
}

TEST(EmrContentHandOver, ReadsTextsPackedWithoutTerminator) {
  const std::u16string text = u"<P>无结尾零字符</P>";
  BYTE* compressed = nullptr;
  ULONG compressed_bytes = 0;
  CreateCompression(1)->Compress(reinterpret_cast<const BYTE*>(text.data()), text.size() * 2,
                                 compressed, compressed_bytes);
  ScopedBstr packed;
  *packed.out() =
      SysAllocStringByteLen(reinterpret_cast<const char*>(compressed), compressed_bytes);
  delete[] compressed;
  EXPECT_EQ(UnpackEmrContent(packed.get()), text);
}

TEST(EmrContentHandOver, RefusesWhatIsNoHandOverForm) {
  // Plain text, a damaged form, and the bytes of an odd-length byte string.
  ScopedBstr plain(u"<HTML></HTML>");
  EXPECT_EQ(FailureOf(plain.get()), kUncompressFailed);

  ScopedBstr packed;
  *packed.out() = PackEmrContent(u"<HTML><BODY>病程记录</BODY></HTML>");
  std::string bytes(reinterpret_cast<const char*>(packed.get()), SysStringByteLen(packed.get()));
  bytes[bytes.size() / 2] ^= 0x5A;
  ScopedBstr damaged;
  *damaged.out() = SysAllocStringByteLen(bytes.data(), bytes.size());
  EXPECT_EQ(FailureOf(damaged.get()), kUncompressFailed);

  ScopedBstr odd_bytes;
  *odd_bytes.out() = SysAllocStringByteLen("abc", 3);
  CreateCompression(-1)->CompressBstr(*odd_bytes.out());
  EXPECT_EQ(FailureOf(odd_bytes.get()), kUncompressFailed);
}

}  // namespace
