#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/codec/codec_factory.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/codec/iss_helper.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/xml/xhtml_document.h"
#include "platform/com/guid.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::datasource::testing::EventLogCapture;
using korvalis::datasource::testing::ScratchDatabase;

constexpr char16_t kRecordSql[] = u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = 'R1'";

class BlobTest : public ::testing::TestWithParam<korvalis::db::Engine> {
 protected:
  void SetUp() override {
    database_.Run(
        "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO) VALUES ('R1', 'P1', 'E1')");
  }
  CCommDataSource Source() { return CCommDataSource(database_.connection_string(), u"oracle"); }

  void Write(const std::string& bytes, int compression, int encryption, bool text) {
    CCommDataSource source = Source();
    source.WriteBlob(kRecordSql, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<ULONG>(bytes.size()), compression, encryption, text);
  }
  // The bytes read back, or "<null>" when the statement handed none.
  std::string Read(int compression, int encryption, bool text) {
    CCommDataSource source = Source();
    BYTE* data = nullptr;
    ULONG length = 12345;
    source.ReadBlob(kRecordSql, data, length, compression, encryption, text);
    if (data == nullptr) {
      EXPECT_EQ(length, 0u);
      return "<null>";
    }
    std::string bytes(reinterpret_cast<const char*>(data), length);
    delete[] data;
    return bytes;
  }
  // The stored bytes as they are.
  std::string Stored() { return Read(0, 0, false); }

  ScratchDatabase database_{GetParam()};
  EventLogCapture events_;
};

// UTF-16LE text, as record contents are held in memory.
std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

TEST_P(BlobTest, EveryCodecCombinationRoundTrips) {
  const std::string content =
      Utf16Bytes(u"<HTML><BODY>病历内容 ✓ " + std::u16string(3000, u'x') + u"</BODY></HTML>");
  for (int compression : {-1, 0, 1}) {
    for (int encryption : {-1, 0, 1, 2, 3}) {
      for (bool text : {false, true}) {
        SCOPED_TRACE(testing::Message() << "compression " << compression << " encryption "
                                        << encryption << " text " << text);
        Write(content, compression, encryption, text);
        EXPECT_EQ(Read(compression, encryption, text), content);
        // What is stored is the bytes after the byte-order mark, compression and encryption.
        std::string expected = (text ? std::string("\xFF\xFE", 2) : std::string()) + content;
        if (compression > 0) {
          BYTE* out = nullptr;
          ULONG n = 0;
          CreateCompression(compression)
              ->Compress(reinterpret_cast<const BYTE*>(expected.data()),
                         static_cast<ULONG>(expected.size()), out, n);
          expected.assign(reinterpret_cast<char*>(out), n);
          delete[] out;
        }
        if (encryption > 0) {
          BYTE* out = nullptr;
          ULONG n = 0;
          CreateEncryption(encryption)
              ->Encrypt(reinterpret_cast<const BYTE*>(expected.data()),
                        static_cast<ULONG>(expected.size()), out, n);
          expected.assign(reinterpret_cast<char*>(out), n);
          delete[] out;
        }
        EXPECT_EQ(Stored(), expected);
      }
    }
  }
}

// Records written from a decompressed text end in its zero character (00 00), others do not.
// Reading and writing the record again gives back exactly what is stored, in either form, and
// the page loads the same from both.
TEST_P(BlobTest, StoredTextWithOrWithoutItsZeroCharacterRoundTripsUnchanged) {
  const std::u16string page = u"<HTML><HEAD></HEAD><BODY><P>现病史：胸痛2小时</P></BODY></HTML>";
  for (const std::u16string& text : {page, page + u'\0'}) {
    SCOPED_TRACE(text.back() == u'\0' ? "with the zero character" : "without it");
    Write(Utf16Bytes(text), 1, 3, true);
    const std::string stored = Stored();
    const std::string read = Read(1, 3, true);
    EXPECT_EQ(read, Utf16Bytes(text));
    Write(read, 1, 3, true);
    EXPECT_EQ(Stored(), stored);

    std::u16string loaded;
    for (size_t i = 0; i + 1 < read.size(); i += 2) {
      loaded.push_back(static_cast<char16_t>(static_cast<unsigned char>(read[i]) |
                                             static_cast<unsigned char>(read[i + 1]) << 8));
    }
    XHTMLDocument document;
    ASSERT_EQ(document.Load(loaded), S_OK);
    std::u16string saved;
    ASSERT_EQ(document.GetHtml(saved), S_OK);
    EXPECT_EQ(saved, page);
  }
}

TEST_P(BlobTest, TheByteOrderMarkIsDroppedOnlyBeforeContent) {
  Write(std::string("\xFF\xFE", 2), 0, 0, false);
  EXPECT_EQ(Read(0, 0, true), std::string("\xFF\xFE", 2));
  Write(std::string("\xFF\xFE"
                    "a\0",
                    4),
        0, 0, false);
  EXPECT_EQ(Read(0, 0, true), std::string("a\0", 2));
  EXPECT_EQ(Read(0, 0, false), std::string("\xFF\xFE"
                                           "a\0",
                                           4));
}

// The stored value of a patient-information node: the newest row of the visit, read through
// an inline view ordered by time and cut to its first row.
TEST_P(BlobTest, AnyQueryIsReadFromTheFirstColumnOfItsFirstRow) {
  for (const char* time : {"2026-12-01 08:00:00", "2026-12-03 08:00:00", "2026-12-02 08:00:00"}) {
    database_.Run(
        "INSERT INTO TELV_STD_PATIENT_INFO_DOMAIN (PATIENT_INFO_NODE_ID, PATIENT_ID, EVENT_NO, "
        "CREATE_TIME) VALUES ('STD_DE_ALLERGY', 'P1', 'E1', TO_DATE('" +
        std::string(time) + "', 'YYYY-MM-DD HH24:MI:SS'))");
    CCommDataSource source = Source();
    const std::string value = Utf16Bytes(u"青霉素 " + korvalis::FromUtf8(time));
    source.WriteBlob(
        u"SELECT INFO_VALUE_BLOB FROM TELV_STD_PATIENT_INFO_DOMAIN WHERE "
        u"CREATE_TIME = TO_DATE('" +
            korvalis::FromUtf8(time) + u"', 'YYYY-MM-DD HH24:MI:SS')",
        reinterpret_cast<const BYTE*>(value.data()), static_cast<ULONG>(value.size()), 0, 0, false);
  }
  CCommDataSource source = Source();
  BYTE* data = nullptr;
  ULONG length = 0;
  source.ReadBlob(
      u"SELECT INFO_VALUE_BLOB FROM (SELECT INFO_VALUE_BLOB  FROM TELV_STD_PATIENT_INFO_DOMAIN "
      u"WHERE PATIENT_INFO_NODE_ID = 'STD_DE_ALLERGY' AND PATIENT_ID = 'P1' AND EVENT_NO = 'E1' "
      u"AND EMR_ID IS NULL  ORDER BY CREATE_TIME DESC) WHERE ROWNUM = 1",
      data, length, 0, 0, false);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), length),
            Utf16Bytes(u"青霉素 2026-12-03 08:00:00"));
  delete[] data;
  EXPECT_TRUE(events_.Records().empty());
}

TEST_P(BlobTest, NullAndEmptyBlobsReadAsNoBytes) {
  EXPECT_EQ(Read(1, 3, true), "<null>");
  database_.Run("UPDATE TELV_EMR_CONTENT SET CONTENT = EMPTY_BLOB() WHERE ID = 'R1'");
  EXPECT_EQ(Read(1, 3, true), "<null>");
  // Writing no bytes stores NULL whatever the type numbers and the text flag say.
  Write("abc", 0, 0, false);
  Write("", 1, 3, true);
  EXPECT_EQ(database_.Scalar("SELECT COUNT(*) FROM TELV_EMR_CONTENT WHERE CONTENT IS NULL"), "1");
}

TEST_P(BlobTest, AMissingRowIsADatabaseError) {
  CCommDataSource source = Source();
  const std::u16string sql = u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = 'none'";
  BYTE* data = nullptr;
  ULONG length = 0;
  EXPECT_THROW(source.ReadBlob(sql, data, length, 0, 0, false), CEMRException);
  EXPECT_THROW(source.WriteBlob(sql, reinterpret_cast<const BYTE*>("x"), 1, 0, 0, false),
               CEMRException);
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(record.text, u"没有找到数据: " + sql);
    EXPECT_EQ(record.raw, korvalis::datasource::testing::CodeBytes(0));
  }
}

TEST_P(BlobTest, AFailedWriteLogsTheEngineAndThenNamesTheStatement) {
  Write("keep me", 0, 0, false);
  CCommDataSource source = Source();
  const std::u16string sql = u"SELECT NO_SUCH_COLUMN FROM TELV_EMR_CONTENT WHERE ID = 'R1'";
  try {
    source.WriteBlob(sql, reinterpret_cast<const BYTE*>("new"), 3, 0, 0, false);
    ADD_FAILURE() << "the write succeeded";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
  }
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].text.find(u"ORA-00904"), std::u16string::npos);
  EXPECT_NE(records[0].text.find(sql), std::u16string::npos);
  EXPECT_EQ(records[1].text, u"更新BLOB数据错误，语句：" + sql);
  EXPECT_EQ(records[1].raw, records[0].raw);
  EXPECT_NE(records[1].raw, korvalis::datasource::testing::CodeBytes(0));
  EXPECT_EQ(Stored(), "keep me");
}

TEST_P(BlobTest, TheDigestCodecIsRefusedAndTheContentKept) {
  Write("keep me", 0, 0, false);
  CCommDataSource source = Source();
  try {
    source.WriteBlob(kRecordSql, reinterpret_cast<const BYTE*>("new"), 3, 0, 4, false);
    ADD_FAILURE();
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
  }
  BYTE* data = nullptr;
  ULONG length = 0;
  EXPECT_THROW(source.ReadBlob(kRecordSql, data, length, 0, 4, false), CEMRException);
  EXPECT_EQ(data, nullptr);
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, u"不正确的加密类型");
  EXPECT_EQ(Stored(), "keep me");
}

TEST_P(BlobTest, DamagedContentIsADatabaseErrorNotACrash) {
  Write("not a zlib stream at all", 0, 0, false);
  CCommDataSource source = Source();
  BYTE* data = nullptr;
  ULONG length = 0;
  EXPECT_THROW(source.ReadBlob(kRecordSql, data, length, 1, 0, true), CEMRException);
  EXPECT_THROW(source.ReadBlob(kRecordSql, data, length, 0, 1, true), CEMRException);
  EXPECT_THROW(source.ReadBlob(kRecordSql, data, length, 7, 0, true), CEMRException);
  EXPECT_EQ(data, nullptr);
  // Bytes promised but not given.
  EXPECT_THROW(source.WriteBlob(kRecordSql, nullptr, 5, 0, 0, false), CEMRException);
  EXPECT_EQ(events_.Records().size(), 4u);
  EXPECT_EQ(Stored(), "not a zlib stream at all");
}

INSTANTIATE_TEST_SUITE_P(Engines, BlobTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);

TEST(ISSHelper, WritesAppendAndReadsConsume) {
  CISSHelper stream;
  ULONG count = 99;
  EXPECT_EQ(stream.Write(nullptr, 3, &count), STG_E_INVALIDPOINTER);
  EXPECT_EQ(count, 99u);
  EXPECT_EQ(stream.Write("abc", 3, &count), S_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(stream.Write("de", 2, nullptr), S_OK);
  EXPECT_EQ(stream.Bytes(), "abcde");

  char buffer[8] = {};
  EXPECT_EQ(stream.Read(nullptr, 1, &count), STG_E_INVALIDPOINTER);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(stream.Read(buffer, 2, &count), S_OK);
  EXPECT_EQ(std::string(buffer, count), "ab");
  EXPECT_EQ(stream.Read(buffer, 8, &count), S_FALSE);
  EXPECT_EQ(std::string(buffer, count), "cde");
  EXPECT_EQ(stream.Read(buffer, 8, &count), S_FALSE);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(stream.Read(buffer, 0, &count), S_OK);

  void* object = nullptr;
  EXPECT_EQ(stream.QueryInterface(IID_ISequentialStream, &object), S_OK);
  EXPECT_EQ(object, static_cast<ISequentialStream*>(&stream));
  EXPECT_EQ(stream.AddRef(), 2u);
  EXPECT_EQ(stream.Release(), 1u);
  EXPECT_EQ(stream.QueryInterface(IID_IStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  stream.Clear();
  EXPECT_EQ(stream.Bytes(), "");
  EXPECT_EQ(stream.AddRef(), 1u);
  EXPECT_EQ(stream.Read(buffer, 1, &count), S_FALSE);
}

}  // namespace
