#include "foundation/data/db_config.h"

#include <gtest/gtest.h>

#include <fstream>

#include "foundation/codec/codec_factory.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/codec/emr_encoder.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::datasource::testing::TempDirectory;

class DBConfigTest : public ::testing::Test {
 protected:
  std::u16string Write(const std::string& name, const std::string& contents) {
    const std::string path = directory_.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << contents;
    return korvalis::FromUtf8(path);
  }
  // A configuration whose connection string is encrypted by `type`, the plain bytes being
  // UTF-16LE with or without the terminating zero.
  std::u16string WriteEncrypted(const std::u16string& plain, int type, bool zero) {
    std::string bytes;
    for (char16_t c : plain) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    if (zero) bytes.append(2, '\0');
    BYTE* encrypted = nullptr;
    ULONG length = 0;
    CreateEncryption(type)->Encrypt(reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<ULONG>(bytes.size()), encrypted, length);
    std::u16string base64;
    CBase64Encoder().Encode(encrypted, length, base64);
    delete[] encrypted;
    return Write("encrypted.xml", "<config><db><datasource dbtype=\"oracle\" encrypt=\"" +
                                      std::to_string(type) + "\">" + korvalis::ToUtf8(base64) +
                                      "</datasource></db></config>");
  }
  void ExpectRefused(const std::u16string& file) {
    try {
      ReadDBConfig(file);
      ADD_FAILURE() << "accepted";
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), u"获取数据库配置信息错误. 配置文件: " + file);
    }
  }

  TempDirectory directory_;
};

TEST_F(DBConfigTest, PlainTextIsReturnedUnchanged) {
  const std::u16string file =
      Write("plain.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><db><other>x</other>"
            "<datasource dbtype=\"ORACLE\" encrypt=\"\">  Provider=SQLite;Data Source=数据.db  "
            "</datasource>"
            "<datasource>second</datasource></db></config>");
  EXPECT_EQ(ReadDBConfig(file), u"  Provider=SQLite;Data Source=数据.db  ");
  EXPECT_EQ(ReadDBTypeName(file), u"ORACLE");
}

TEST_F(DBConfigTest, EncryptedTextIsDecodedAndDecrypted) {
  const std::u16string plain = u"Provider=SQLite;Data Source=/data/emr.db;Password=p";
  for (int type : {0, 1, 2, 3}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(ReadDBConfig(WriteEncrypted(plain, type, true)), plain);
    // Without a terminating zero the whole text still comes back.
    EXPECT_EQ(ReadDBConfig(WriteEncrypted(plain, type, false)), plain);
  }
}

TEST_F(DBConfigTest, BadFilesAreRefusedWithTheConfigurationMessage) {
  ExpectRefused(Write("two.xml", "<c><db><datasource>a</datasource></db><db/></c>"));
  ExpectRefused(
      Write("nested.xml", "<c><x><db/></x><y><z><db><datasource>a</datasource></db></z></y></c>"));
  ExpectRefused(Write("none.xml", "<c><datasource>a</datasource></c>"));
  ExpectRefused(Write("broken.xml", "<c><db><datasource>a</db></c>"));
  ExpectRefused(directory_.path().empty() ? u"x"
                                          : korvalis::FromUtf8(directory_.path() + "/missing.xml"));
}

TEST_F(DBConfigTest, MissingDataSourceGivesAnEmptyString) {
  const std::u16string file = Write("empty.xml", "<db><source>a</source></db>");
  EXPECT_EQ(ReadDBConfig(file), u"");
  EXPECT_EQ(ReadDBTypeName(file), std::nullopt);
}

TEST_F(DBConfigTest, AnUnknownEncryptionIsRefused) {
  for (const char* encrypt : {"9", "x", "4"}) {
    SCOPED_TRACE(encrypt);
    const std::u16string file = Write("bad.xml", std::string("<db><datasource encrypt=\"") +
                                                     encrypt + "\">AAAA</datasource></db>");
    if (std::string(encrypt) == "4") {
      // The digest codec decrypts to nothing: no connection string.
      EXPECT_EQ(ReadDBConfig(file), u"");
      continue;
    }
    try {
      ReadDBConfig(file);
      ADD_FAILURE();
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), u"不正确的加密类型");
    }
  }
}

TEST(DBTypeNames, OnlyThreeSpellingsSelectOracle) {
  EXPECT_TRUE(IsOracleTypeName(u"oracle"));
  EXPECT_TRUE(IsOracleTypeName(u"Oracle"));
  EXPECT_TRUE(IsOracleTypeName(u"ORACLE"));
  EXPECT_FALSE(IsOracleTypeName(u"OrAcle"));
  EXPECT_FALSE(IsOracleTypeName(u""));
  EXPECT_FALSE(IsOracleTypeName(u"sqlserver"));

  // A data source of a second database chooses Oracle for an empty type.
  CCommDataSource empty(u"x", u"");
  CCommDataSource mixed(u"x", u"oRACLE");
  EXPECT_NE(dynamic_cast<CDBOracle*>(empty.GetDBType()), nullptr);
  EXPECT_NE(dynamic_cast<CDBSQLServer*>(mixed.GetDBType()), nullptr);
}

// The configuration file of every call, read from the current directory.
TEST(EMRDataSourceConfig, TheFirstConnectionStringReadIsKeptForTheProcess) {
  korvalis::datasource::testing::EMRDatabase();
  CEMRDataSource source;
  const std::u16string first = source.GetConnectionString();
  EXPECT_FALSE(first.empty());
  CDBType* dialect = source.GetDBType();
  EXPECT_NE(dynamic_cast<CDBOracle*>(dialect), nullptr);

  std::string previous;
  {
    std::ifstream in("telv.config.xml", std::ios::binary);
    previous.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::ofstream("telv.config.xml")
      << "<db><datasource dbtype=\"other\">Provider=SQLite;Data Source=second.db</datasource></db>";
  CEMRDataSource later;
  EXPECT_EQ(later.GetConnectionString(), first);
  EXPECT_EQ(later.GetDBType(), dialect);
  std::ofstream("telv.config.xml", std::ios::binary) << previous;
}

}  // namespace
