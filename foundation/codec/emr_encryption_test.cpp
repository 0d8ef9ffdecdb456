#include "foundation/codec/emr_encryption.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/testing/codec_test_util.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::codec::testing::Ascii;
using korvalis::codec::testing::CodecOutput;
using korvalis::codec::testing::Hex;
using korvalis::codec::testing::Noise;
using korvalis::codec::testing::Uncompress;
using korvalis::testing::FailureOf;

std::vector<BYTE> Encrypt(CEMREncryption& codec, const std::vector<BYTE>& plain) {
  CodecOutput out;
  codec.Encrypt(plain.data(), static_cast<ULONG>(plain.size()), out.pb, out.cb);
  return out.Bytes();
}

std::vector<BYTE> Decrypt(CEMREncryption& codec, const std::vector<BYTE>& stored) {
  CodecOutput out;
  codec.Decrypt(stored.data(), static_cast<ULONG>(stored.size()), out.pb, out.cb);
  return out.Bytes();
}

// Vectors computed independently of the library used here: two-key triple DES in 64-bit
// CFB and RC4 keyed with MD5 of the key material, over a message whose last block is
// partial.
const std::vector<BYTE> kFox = Ascii("The quick brown fox");

TEST(DES2EncryptionTest, MatchesKnownVector) {
  CDES2Encryption des;
  EXPECT_EQ(Encrypt(des, kFox), Hex("245a3be378719ab317ee24cfb07f9385c14567"));
  EXPECT_EQ(Decrypt(des, Hex("245a3be378719ab317ee24cfb07f9385c14567")), kFox);
}

// Every length from 0 to 17, whole blocks and partial ones alike, gives the bytes of the
// stored format: a cipher-feedback stream, so each message encrypts to the leading bytes of
// the longest one's vector.
TEST(DES2EncryptionTest, EveryLengthUpToSeventeenGivesTheStoredBytes) {
  const std::vector<BYTE> plain = Ascii("Admission record.");
  const std::vector<BYTE> stored = Hex("315633aa7a779abff9abe309fe6f9e0747");
  ASSERT_EQ(plain.size(), 17u);
  CDES2Encryption des;
  for (size_t n = 0; n <= plain.size(); ++n) {
    SCOPED_TRACE(n);
    const std::vector<BYTE> message(plain.begin(), plain.begin() + n);
    const std::vector<BYTE> expected(stored.begin(), stored.begin() + n);
    EXPECT_EQ(Encrypt(des, message), expected);
    EXPECT_EQ(Decrypt(des, expected), message);
  }
}

TEST(WinApiEncryptionTest, MatchesKnownVector) {
  CWinApiEncryption rc4;
  EXPECT_EQ(Encrypt(rc4, kFox), Hex("49e8c50f1de2d58e163f79e15c1b571610f0ec"));
  EXPECT_EQ(Decrypt(rc4, Hex("49e8c50f1de2d58e163f79e15c1b571610f0ec")), kFox);
}

class StreamCipherTest : public ::testing::TestWithParam<size_t> {};

TEST_P(StreamCipherTest, KeepsLengthRoundTripsAndRestartsEveryMessage) {
  const std::vector<BYTE> plain = Noise(GetParam());
  CDES2Encryption des;
  CWinApiEncryption rc4;
  for (CEMREncryption* codec : {static_cast<CEMREncryption*>(&des),
                                static_cast<CEMREncryption*>(&rc4)}) {
    SCOPED_TRACE(codec->GetType());
    const std::vector<BYTE> stored = Encrypt(*codec, plain);
    EXPECT_EQ(stored.size(), plain.size());
    EXPECT_EQ(Encrypt(*codec, plain), stored);
    if (plain.size() >= 8) {
      EXPECT_NE(stored, plain);
    }
    EXPECT_EQ(Decrypt(*codec, stored), plain);
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, StreamCipherTest,
                         ::testing::Values(0, 1, 7, 8, 9, 13, 100000));

TEST(DES2EncryptionTest, OutputMayReplaceTheInputArray) {
  // Callers that decrypt "in place" pass their input array as the output too: the codec
  // reads it completely before releasing it.
  const std::vector<BYTE> plain = Noise(1000);
  CodecOutput data;
  data.pb = new BYTE[plain.size()];
  std::copy(plain.begin(), plain.end(), data.pb);
  data.cb = static_cast<ULONG>(plain.size());
  CDES2Encryption des;
  des.Encrypt(data.pb, data.cb, data.pb, data.cb);
  EXPECT_NE(data.Bytes(), plain);
  des.Decrypt(data.pb, data.cb, data.pb, data.cb);
  EXPECT_EQ(data.Bytes(), plain);
}

TEST(MD5EncryptionTest, GivesUpperCaseHexDigitsAndAZeroByte) {
  CMD5Encryption md5;
  const std::string expected = "A2004F37730B9445670A738FA0FC9EE5";
  std::vector<BYTE> digest = Ascii(expected);
  digest.push_back(0);
  EXPECT_EQ(Encrypt(md5, kFox), digest);

  digest = Ascii("D41D8CD98F00B204E9800998ECF8427E");
  digest.push_back(0);
  EXPECT_EQ(Encrypt(md5, {}), digest);
  EXPECT_EQ(Encrypt(md5, Noise(100000)).size(), 33u);
}

TEST(MD5EncryptionTest, DecryptLeavesTheOutputAlone) {
  CMD5Encryption md5;
  CodecOutput out;
  out.cb = 77;
  md5.Decrypt(kFox.data(), static_cast<ULONG>(kFox.size()), out.pb, out.cb);
  EXPECT_EQ(out.pb, nullptr);
  EXPECT_EQ(out.cb, 77u);
}

TEST(EnzipEncryptionTest, StoresBase64TextAsUtf16WithTerminatorCompressed) {
  CEnzipEncryption enzip;
  EXPECT_EQ(Uncompress(Encrypt(enzip, Ascii("abc"))),
            std::vector<BYTE>({'Y', 0, 'W', 0, 'J', 0, 'j', 0, '\n', 0, 0, 0}));

  // Nothing to encrypt: only the empty text's terminator is compressed.
  const std::vector<BYTE> empty = Encrypt(enzip, {});
  ASSERT_GE(empty.size(), 4u);
  EXPECT_EQ(std::vector<BYTE>(empty.end() - 4, empty.end()), Hex("02000000"));
  EXPECT_EQ(Uncompress(empty), std::vector<BYTE>({0, 0}));
  CodecOutput out;
  enzip.Decrypt(empty.data(), static_cast<ULONG>(empty.size()), out.pb, out.cb);
  EXPECT_EQ(out.pb, nullptr);
  EXPECT_EQ(out.cb, 0u);

  const std::vector<BYTE> plain = Noise(5000);
  EXPECT_EQ(Decrypt(enzip, Encrypt(enzip, plain)), plain);
}

TEST(EnzipEncryptionTest, RefusesDamagedInput) {
  CEnzipEncryption enzip;
  std::vector<BYTE> damaged = Encrypt(enzip, Noise(300));
  damaged[damaged.size() / 2] ^= 0xFF;
  EXPECT_EQ(FailureOf([&] { Decrypt(enzip, damaged); }), u"GZIP执行解压缩错误");

  // A sound zlib layer around text that is not Base64.
  CodecOutput notBase64;
  const std::vector<BYTE> text = {'#', 0, '#', 0, 0, 0};
  CGzipCompression().Compress(text.data(), static_cast<ULONG>(text.size()), notBase64.pb,
                              notBase64.cb);
  EXPECT_EQ(FailureOf([&] { Decrypt(enzip, notBase64.Bytes()); }), u"Base64执行解码错误");
}

TEST(DummyEncryptionTest, CopiesTheInput) {
  CDummyEncryption none;
  const std::vector<BYTE> plain = Noise(9);
  EXPECT_EQ(Encrypt(none, plain), plain);
  EXPECT_EQ(Decrypt(none, plain), plain);
  EXPECT_EQ(Encrypt(none, {}), std::vector<BYTE>());
}

}  // namespace
