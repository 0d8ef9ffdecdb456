#include "foundation/codec/emr_compression.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::codec::testing::CodecOutput;
using korvalis::codec::testing::Hex;
using korvalis::codec::testing::Noise;
using korvalis::codec::testing::Uncompress;
using korvalis::testing::FailureOf;

const std::u16string kUncompressFailed = u"GZIP执行解压缩错误";

std::vector<BYTE> Compress(const std::vector<BYTE>& plain) {
  CodecOutput out;
  CGzipCompression().Compress(plain.data(), static_cast<ULONG>(plain.size()), out.pb, out.cb);
  return out.Bytes();
}

std::u16string UncompressFailure(const std::vector<BYTE>& stored) {
  return FailureOf([&] { Uncompress(stored); });
}

void SetTrailer(std::vector<BYTE>& stored, ULONG length) {
  BYTE* trailer = stored.data() + stored.size() - 4;
  for (int i = 0; i < 4; ++i) trailer[i] = static_cast<BYTE>(length >> (8 * i));
}

TEST(GzipCompressionTest, StoredLayoutIsZlibStreamAndLittleEndianLength) {
  EXPECT_EQ(Compress({}), Hex("789c030000000001" "00000000"));
  EXPECT_EQ(Compress(std::vector<BYTE>(1000, 'A')),
            Hex("789c73741c05a360140c770000890cfde9" "e8030000"));
  EXPECT_EQ(Uncompress(Hex("789c030000000001" "00000000")), std::vector<BYTE>());
  EXPECT_EQ(Uncompress(Compress(std::vector<BYTE>(1000, 'A'))), std::vector<BYTE>(1000, 'A'));
}

TEST(GzipCompressionTest, RoundTripsIncompressibleAndHighlyCompressibleData) {
  const std::vector<BYTE> noise = Noise(100000);
  EXPECT_EQ(Uncompress(Compress(noise)), noise);
  // About a thousandfold: the output buffer has to grow several times.
  const std::vector<BYTE> zeros(8 * 1024 * 1024, 0);
  const std::vector<BYTE> stored = Compress(zeros);
  EXPECT_LT(stored.size(), zeros.size() / 500);
  EXPECT_EQ(Uncompress(stored), zeros);
}

TEST(GzipCompressionTest, RefusesInputWithoutTrailer) {
  EXPECT_EQ(UncompressFailure({}), kUncompressFailed);
  EXPECT_EQ(UncompressFailure({0x00}), kUncompressFailed);
  EXPECT_EQ(UncompressFailure({0x78, 0x9c, 0x03}), kUncompressFailed);
  EXPECT_EQ(UncompressFailure({0x00, 0x00, 0x00, 0x00}), kUncompressFailed);
}

TEST(GzipCompressionTest, RefusesTrailerThatDoesNotMatchTheStream) {
  const std::vector<BYTE> plain(5000, 'x');
  std::vector<BYTE> stored = Compress(plain);
  SetTrailer(stored, 4999);
  EXPECT_EQ(UncompressFailure(stored), kUncompressFailed);
  SetTrailer(stored, 5001);
  EXPECT_EQ(UncompressFailure(stored), kUncompressFailed);
  SetTrailer(stored, 0);
  EXPECT_EQ(UncompressFailure(stored), kUncompressFailed);
  // A claim of 4 GiB from a few bytes is refused before any memory is taken for it.
  SetTrailer(stored, 0xFFFFFFFF);
  EXPECT_EQ(UncompressFailure(stored), kUncompressFailed);
  SetTrailer(stored, 5000);
  EXPECT_EQ(Uncompress(stored), plain);
}

TEST(GzipCompressionTest, ExpandsUpToTheLimitAndRefusesBeyondIt) {
  std::vector<BYTE> plain(kMaxExpandedBytes, 'a');
  EXPECT_EQ(Uncompress(Compress(plain)).size(), kMaxExpandedBytes);
  plain.clear();
  CodecOutput kept;
  kept.pb = new BYTE[1];
  BYTE* const before = kept.pb;
  const std::vector<BYTE>& beyond = korvalis::codec::testing::BeyondTheExpansionLimit();
  EXPECT_EQ(FailureOf([&] {
              CGzipCompression().Uncompress(beyond.data(), static_cast<ULONG>(beyond.size()),
                                            kept.pb, kept.cb);
            }),
            kExpandedTooLarge);
  EXPECT_EQ(kept.pb, before);
  // The BSTR form expands through the same routine.
  BSTR bstr = SysAllocStringByteLen(reinterpret_cast<const char*>(beyond.data()),
                                    static_cast<UINT>(beyond.size()));
  BSTR expanded = bstr;
  EXPECT_EQ(FailureOf([&] { CGzipCompression().UncompressBstr(expanded); }), kExpandedTooLarge);
  EXPECT_EQ(expanded, bstr);
  SysFreeString(bstr);
}

TEST(GzipCompressionTest, RefusesDamagedOrTruncatedStreams) {
  const std::vector<BYTE> plain = Noise(3000);
  const std::vector<BYTE> stored = Compress(plain);

  std::vector<BYTE> flipped = stored;
  flipped[stored.size() / 2] ^= 0x5A;
  EXPECT_EQ(UncompressFailure(flipped), kUncompressFailed);

  std::vector<BYTE> badChecksum = stored;
  badChecksum[stored.size() - 5] ^= 0x01;
  EXPECT_EQ(UncompressFailure(badChecksum), kUncompressFailed);

  std::vector<BYTE> truncated(stored.begin(), stored.begin() + stored.size() / 2);
  truncated.insert(truncated.end(), stored.end() - 4, stored.end());
  EXPECT_EQ(UncompressFailure(truncated), kUncompressFailed);

  EXPECT_EQ(UncompressFailure(Noise(64)), kUncompressFailed);
}

TEST(GzipCompressionTest, OutputPointerIsReplacedOnSuccessAndKeptOnFailure) {
  const std::vector<BYTE> plain(100, 'q');
  const std::vector<BYTE> stored = Compress(plain);

  CodecOutput out;
  out.pb = new BYTE[3]{1, 2, 3};
  out.cb = 3;
  BYTE* const previous = out.pb;
  EXPECT_EQ(FailureOf([&] { CGzipCompression().Uncompress(stored.data(), 2, out.pb, out.cb); }),
            kUncompressFailed);
  EXPECT_EQ(out.pb, previous);
  EXPECT_EQ(out.cb, 3u);
  EXPECT_EQ(out.pb[2], 3);

  // The array held before is released by the codec (a leak here shows under the sanitizer).
  CGzipCompression().Uncompress(stored.data(), static_cast<ULONG>(stored.size()), out.pb, out.cb);
  EXPECT_EQ(out.Bytes(), plain);
}

TEST(GzipCompressionTest, BstrCompressionKeepsTheTerminatorAndReturnsItOnUncompress) {
  BSTR bstr = SysAllocString(u"abc");
  CGzipCompression gzip;
  gzip.CompressBstr(bstr);
  ASSERT_NE(bstr, nullptr);
  // The BSTR's bytes are exactly the stored form of "abc" and its zero character.
  const std::vector<BYTE> stored(reinterpret_cast<BYTE*>(bstr),
                                 reinterpret_cast<BYTE*>(bstr) + SysStringByteLen(bstr));
  EXPECT_EQ(Uncompress(stored), std::vector<BYTE>({'a', 0, 'b', 0, 'c', 0, 0, 0}));

  BSTR compressed = bstr;
  gzip.UncompressBstr(bstr);
  ASSERT_NE(bstr, compressed);
  EXPECT_EQ(SysStringLen(bstr), 4u);
  EXPECT_EQ(std::u16string(bstr, 4), std::u16string(u"abc\0", 4));
  // The compressed BSTR stays the caller's: it is still intact.
  EXPECT_EQ(SysStringByteLen(compressed), stored.size());
  SysFreeString(compressed);
  SysFreeString(bstr);
}

TEST(GzipCompressionTest, BstrOperationsLeaveNullAndEmptyStringsAndRefuseDamage) {
  CGzipCompression gzip;
  BSTR null = nullptr;
  gzip.CompressBstr(null);
  gzip.UncompressBstr(null);
  EXPECT_EQ(null, nullptr);

  BSTR empty = SysAllocString(u"");
  BSTR const original = empty;
  gzip.CompressBstr(empty);
  gzip.UncompressBstr(empty);
  EXPECT_EQ(empty, original);
  SysFreeString(empty);

  BSTR damaged = SysAllocString(u"not compressed");
  BSTR const before = damaged;
  EXPECT_EQ(FailureOf([&] { gzip.UncompressBstr(damaged); }), kUncompressFailed);
  EXPECT_EQ(damaged, before);
  SysFreeString(damaged);
}

TEST(DummyCompressionTest, CopiesBytesAndLeavesBstrs) {
  const std::vector<BYTE> plain = Noise(37);
  CDummyCompression none;
  CodecOutput compressed;
  none.Compress(plain.data(), static_cast<ULONG>(plain.size()), compressed.pb, compressed.cb);
  EXPECT_NE(compressed.pb, plain.data());
  EXPECT_EQ(compressed.Bytes(), plain);
  CodecOutput uncompressed;
  none.Uncompress(compressed.pb, compressed.cb, uncompressed.pb, uncompressed.cb);
  EXPECT_EQ(uncompressed.Bytes(), plain);

  BSTR bstr = SysAllocString(u"abc");
  BSTR const original = bstr;
  none.CompressBstr(bstr);
  none.UncompressBstr(bstr);
  EXPECT_EQ(bstr, original);
  EXPECT_EQ(SysStringLen(bstr), 3u);
  SysFreeString(bstr);
}

}  // namespace
