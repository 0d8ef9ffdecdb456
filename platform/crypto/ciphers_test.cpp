#include "platform/crypto/ciphers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

namespace crypto = korvalis::crypto;

std::string HexOf(const uint8_t* bytes, size_t size) {
  std::string hex;
  char digits[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    hex += digits;
  }
  return hex;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// The test vectors of RFC 1321.
TEST(Ciphers, Md5GivesTheStandardDigests) {
  const struct {
    const char* text;
    const char* digest;
  } kVectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
  };
  for (const auto& vector : kVectors) {
    const std::vector<uint8_t> text = Bytes(vector.text);
    uint8_t digest[crypto::kMd5DigestSize];
    crypto::Md5(text.data(), text.size(), digest);
    EXPECT_EQ(HexOf(digest, sizeof digest), vector.digest) << vector.text;
  }
}

// Both stream ciphers work in place and undo themselves, over lengths that end inside a block.
TEST(Ciphers, StreamCiphersRunInPlaceAndReverse) {
  const std::vector<uint8_t> plain = Bytes("Discharge summary, ward 3");
  const uint8_t key[crypto::kDes2KeySize] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const uint8_t iv[crypto::kDesBlockSize] = {8, 7, 6, 5, 4, 3, 2, 1};

  std::vector<uint8_t> data = plain;
  crypto::Des2Cfb(true, key, iv, data.data(), data.data(), data.size());
  EXPECT_NE(data, plain);
  crypto::Des2Cfb(false, key, iv, data.data(), data.data(), data.size());
  EXPECT_EQ(data, plain);

  crypto::Rc4WithMd5Key(key, sizeof key, data.data(), data.data(), data.size());
  EXPECT_NE(data, plain);
  crypto::Rc4WithMd5Key(key, sizeof key, data.data(), data.data(), data.size());
  EXPECT_EQ(data, plain);
}

}  // namespace
