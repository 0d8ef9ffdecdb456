#include "emrdoc/emr_signature.h"

#include <gtest/gtest.h>

#include <barrier>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/calls/call_scope.h"
#include "foundation/data/single_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::FromUtf8;
using korvalis::com::ScopedBstr;
using korvalis::schema::TestDatabase;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;
using korvalis::testing::ScopedDatabaseClock;
using korvalis::testing::TestDataSource;
using Rows = std::vector<std::vector<std::string>>;

// A client identity of `user` (id and name alike) with the optional technical title.
std::u16string Client(const std::string& user,
                      const std::string& techtitle_attribute = " techtitle=\"12\"",
                      const std::string& computer = "PC-1") {
  return FromUtf8("<root><user id=\"" + user + "\" code=\"c" + user + "\"" + techtitle_attribute +
                  ">" + user + "</user><dept id=\"0101\">心内科</dept><computer ip=\"10.0.0.1\">" +
                  computer + "</computer></root>");
}

class SignatureTest : public ::testing::Test {
 protected:
  SignatureTest() {
    db_.AddPatient({.id = "P1"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1"});
    record_ = db_.AddRecord({.id = "R1", .patient_id = "P1", .event_no = "E1"});
    At("2026-12-07 09:30:00");
  }

  // The suite's time and the database's SYSDATE stand at `now`.
  void At(const std::string& now) {
    doubles_.Answer(IID_IDateTimeService, 7, FromUtf8(now));
    const auto n = [&](int at, int length) { return std::stoi(now.substr(at, length)); };
    clock_ = std::make_unique<ScopedDatabaseClock>(
        korvalis::db::DateTime{n(0, 4), n(5, 2), n(8, 2), n(11, 2), n(14, 2), n(17, 2)});
  }

  // Signs in a data source of its own, committed before the call returns.
  void Sign(const std::u16string& client, const std::u16string& signature, long sign_type = 0) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr id(FromUtf8(record_)), text(signature), info(client);
    EXPECT_EQ(SaveEmrSignature(&data_source, id.get(), text.get(), sign_type, info.get()), 0);
  }

  Rows Signatures() {
    return db_.Query(
        "SELECT SUB_ID, USER_ID, NAME, SIGN_DATE, SIGN_TYPE, SIGNATURE, COMPRESSION, ENCRYPTION, "
        "TECH_TITLE, COMPUTER_NAME, COMPUTER_IP, INSERT_TIME FROM TELV_EMR_SIGNATURE "
        "WHERE ID = 'R1' ORDER BY SUB_ID");
  }

  // The CONTENT of a signature row decoded as it was written, or "(none)" for NULL.
  std::u16string Content(int sub_id) {
    if (db_.QueryScalar("SELECT COUNT(*) FROM TELV_EMR_SIGNATURE WHERE ID = 'R1' AND SUB_ID = " +
                        std::to_string(sub_id) + " AND CONTENT IS NOT NULL") == "0") {
      return u"(none)";
    }
    TestDataSource data_source(db_.init_string());
    BYTE* bytes = nullptr;
    ULONG length = 0;
    data_source.ReadBlob(u"SELECT CONTENT FROM TELV_EMR_SIGNATURE WHERE ID = 'R1' AND SUB_ID = " +
                             IntToString(sub_id),
                         bytes, length, 0, 1, true);
    std::unique_ptr<BYTE[]> owned(bytes);
    return std::u16string(reinterpret_cast<const char16_t*>(bytes), length / 2);
  }

  SiblingDoubles doubles_;
  TestDatabase db_;
  std::unique_ptr<ScopedDatabaseClock> clock_;
  std::string record_;
};

TEST_F(SignatureTest, TheFirstSignatureIsRowOneDatedNow) {
  Sign(Client("A"), u"签名A");
  EXPECT_EQ(Signatures(), (Rows{{"1", "A", "A", "2026-12-07 09:30:00", "0", "签名A", "0", "0", "12",
                                 "PC-1", "10.0.0.1", "2026-12-07 09:30:00"}}));
  EXPECT_EQ(Content(1), u"(none)");
}

TEST_F(SignatureTest, OnlyTheLatestSignerRenewsAndOnlyTheDate) {
  Sign(Client("A"), u"first");
  At("2026-12-07 10:00:00");
  Sign(Client("B"), u"second");
  At("2026-12-07 11:00:00");
  Sign(Client("A"), u"third");
  At("2026-12-07 12:00:00");
  Sign(Client("A"), u"again", 0);
  const Rows rows = Signatures();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{rows[0][0], rows[0][1], rows[1][0], rows[1][1], rows[2][0],
                                      rows[2][1]}),
            (std::vector<std::string>{"1", "A", "2", "B", "3", "A"}));
  // The repeated signature renewed SIGN_DATE of row 3 and nothing else.
  EXPECT_EQ(rows[2][3], "2026-12-07 12:00:00");
  EXPECT_EQ(rows[2][5], "third");
  EXPECT_EQ(rows[2][11], "2026-12-07 11:00:00");
  EXPECT_EQ(rows[0][3], "2026-12-07 09:30:00");
}

TEST_F(SignatureTest, TypeOneKeepsTheTextInTheContent) {
  Sign(Client("A"), u"签名内容一", kContentSignType);
  Rows rows = Signatures();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][4], "1");
  EXPECT_EQ(rows[0][5], "A");  // the signer's name
  EXPECT_EQ(rows[0][6], "0");  // COMPRESSION and ENCRYPTION stay 0
  EXPECT_EQ(rows[0][7], "0");
  EXPECT_EQ(Content(1), u"签名内容一");

  // The latest signer signs again: only the CONTENT of that row is rewritten.
  At("2026-12-07 13:00:00");
  Sign(Client("A"), u"签名内容二", kContentSignType);
  EXPECT_EQ(Signatures(), rows);
  EXPECT_EQ(Content(1), u"签名内容二");
}

TEST_F(SignatureTest, ATechnicalTitleThatIsNoWholeNumberIsStoredAsZero) {
  Sign(Client("A", ""), u"s");
  Sign(Client("B", " techtitle=\"abc\""), u"s");
  Sign(Client("C", " techtitle=\"12.5\""), u"s");
  Sign(Client("D", " techtitle=\"1); DELETE FROM TELV_EMR_SIGNATURE; --\""), u"s");
  Sign(Client("E", " techtitle=\"13\""), u"s");
  std::vector<std::string> titles;
  for (const auto& row : Signatures()) titles.push_back(row[8]);
  EXPECT_EQ(titles, (std::vector<std::string>{"0", "0", "0", "0", "13"}));
}

TEST_F(SignatureTest, TextsHoldingQuotesAreStoredAsWritten) {
  Sign(Client("O'Neil", " techtitle=\"12\"", "Dr O'Neil's PC"), u"it's signed");
  const Rows rows = Signatures();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], "O'Neil");
  EXPECT_EQ(rows[0][5], "it's signed");
  EXPECT_EQ(rows[0][9], "Dr O'Neil's PC");
  // The quoted user is recognised as the latest signer.
  Sign(Client("O'Neil"), u"again");
  EXPECT_EQ(Signatures().size(), 1u);
}

TEST_F(SignatureTest, ABadClientIdentityFailsBeforeAnythingHappens) {
  TestDataSource data_source(db_.init_string());
  ScopedBstr id(u"R1"), text(u"s"), info(u"<root><user id=\"A\">");
  EXPECT_EQ(FailureOf([&] { SaveEmrSignature(&data_source, id.get(), text.get(), 0, info.get()); }),
            u"解析属性信息错误.");
  EXPECT_EQ(
      FailureOf([&] { SaveSignatureContent(&data_source, id.get(), info.get(), text.get()); }),
      u"解析属性信息错误.");
  EXPECT_TRUE(doubles_.Calls(IID_IDateTimeService).empty());
  EXPECT_TRUE(Signatures().empty());
}

TEST_F(SignatureTest, ContentOfAUserWithoutASignatureRowFindsNoRow) {
  Sign(Client("A"), u"s");
  korvalis::datasource::testing::EventLogCapture events;
  TestDataSource data_source(db_.init_string());
  ScopedBstr id(u"R1"), info(Client("B")), content(u"x");
  // The data source logs the missing row with its statement and fails as a database error.
  EXPECT_EQ(
      FailureOf([&] { SaveSignatureContent(&data_source, id.get(), info.get(), content.get()); }),
      kDatabaseErrorMessage);
  const auto records = events.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text,
            u"没有找到数据: SELECT CONTENT FROM TELV_EMR_SIGNATURE T WHERE T.ID = 'R1' AND "
            u"T.SUB_ID = 0");
}

TEST_F(SignatureTest, ContentGoesToTheUsersLatestRowUpToItsFirstZero) {
  Sign(Client("A"), u"s");
  Sign(Client("B"), u"s");
  Sign(Client("A"), u"s");
  Sign(Client("B"), u"s");
  {
    TestDataSource data_source(db_.init_string());
    ScopedBstr id(u"R1"), info(Client("A"));
    ScopedBstr content(std::u16string(u"正文\0尾部", 5));
    SaveSignatureContent(&data_source, id.get(), info.get(), content.get());
  }
  EXPECT_EQ(Content(3), u"正文");
  EXPECT_EQ(Content(1), u"(none)");
}

TEST_F(SignatureTest, TwoCallsSigningAtOnceGetDifferentNumbers) {
  constexpr int kSigners = 2;
  std::barrier start(kSigners);
  std::vector<std::thread> threads;
  std::vector<std::u16string> failures(kSigners);
  for (int i = 0; i < kSigners; ++i) {
    threads.emplace_back([&, i] {
      failures[i] = FailureOf([&] {
        CCallScope call(CCallScope::Mode::kWriting);
        {
          TestDataSource data_source(db_.init_string());
          ScopedBstr id(u"R1"), text(u"s"), info(Client(i == 0 ? "A" : "B"));
          start.arrive_and_wait();
          SaveEmrSignature(&data_source, id.get(), text.get(), 0, info.get());
        }
        call.Commit();
      });
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, (std::vector<std::u16string>(kSigners)));
  const Rows rows = Signatures();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[1][0], "2");
  EXPECT_NE(rows[0][1], rows[1][1]);
}

}  // namespace
