#include "foundation/codec/codec_factory.h"

#include <gtest/gtest.h>

#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::testing::FailureOf;

TEST(CodecFactoryTest, TypeNumbersSelectCodecsAndMinusOneTheDefault) {
  EXPECT_NE(dynamic_cast<CBase64Encoder*>(CreateEncoder(-1).get()), nullptr);
  EXPECT_EQ(CreateEncoder(-1)->GetType(), 0);
  EXPECT_EQ(CreateEncoder(0)->GetType(), 0);

  EXPECT_NE(dynamic_cast<CDES2Encryption*>(CreateEncryption(-1).get()), nullptr);
  EXPECT_EQ(CreateEncryption(-1)->GetType(), 3);
  EXPECT_NE(dynamic_cast<CDummyEncryption*>(CreateEncryption(0).get()), nullptr);
  EXPECT_NE(dynamic_cast<CEnzipEncryption*>(CreateEncryption(1).get()), nullptr);
  EXPECT_NE(dynamic_cast<CWinApiEncryption*>(CreateEncryption(2).get()), nullptr);
  EXPECT_NE(dynamic_cast<CDES2Encryption*>(CreateEncryption(3).get()), nullptr);
  EXPECT_NE(dynamic_cast<CMD5Encryption*>(CreateEncryption(4).get()), nullptr);
  for (int type = 0; type <= 4; ++type) EXPECT_EQ(CreateEncryption(type)->GetType(), type);

  EXPECT_NE(dynamic_cast<CGzipCompression*>(CreateCompression(-1).get()), nullptr);
  EXPECT_EQ(CreateCompression(-1)->GetType(), 1);
  EXPECT_NE(dynamic_cast<CDummyCompression*>(CreateCompression(0).get()), nullptr);
  EXPECT_NE(dynamic_cast<CGzipCompression*>(CreateCompression(1).get()), nullptr);
}

TEST(CodecFactoryTest, OtherTypeNumbersAreRefused) {
  for (int type : {-2, 1, 2, 100}) {
    EXPECT_EQ(FailureOf([&] { CreateEncoder(type); }), u"不正确的编码类型") << type;
  }
  for (int type : {-2, 5, 100}) {
    EXPECT_EQ(FailureOf([&] { CreateEncryption(type); }), u"不正确的加密类型") << type;
  }
  for (int type : {-2, 2, 100}) {
    EXPECT_EQ(FailureOf([&] { CreateCompression(type); }), u"不正确的压缩类型") << type;
  }
}

}  // namespace
