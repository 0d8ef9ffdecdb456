#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_patient.h"
#include "db/testing/test_database.h"
#include "emrdoc/emr_content_hand_over.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "foundation/testing/test_data_source.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace korvalis::archive {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::FailureOf;
using korvalis::testing::ReadElements;
using korvalis::testing::RunAsCall;
using korvalis::testing::TestDataSource;
using Rows = std::vector<std::vector<std::string>>;
using Visits = std::vector<std::string>;

// The list that the list body `body` answers for the property document of `filter`.
std::vector<Element> ListOf(const schema::TestDatabase& db,
                            long (*body)(CEMRDataSource*, BSTR, BSTR*),
                            const CXmlProperty::Map& filter) {
  ScopedBstr args(CXmlProperty(filter).ToXml()), list;
  TestDataSource source(db.init_string());
  body(&source, args.get(), list.out());
  return ReadElements(list.text());
}

// The visit numbers of a list, read from the attribute `key`, sorted.
Visits SortedVisits(const std::vector<Element>& list, const std::string& key) {
  Visits visits;
  for (const Element& e : list) visits.push_back(e.attributes.at(key));
  std::sort(visits.begin(), visits.end());
  return visits;
}

// Three sealed visits: S1 of department 0101 (sealed in November, unsealed in December), S2 of
// 0102 (sealed twice), S3 of 0101 discharged from 0102 and still sealed.
class SealedPatientsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    AddVisit("S1", "0101", "0101", "1");
    AddVisit("S2", "0102", "0102", "1");
    AddVisit("S3", "0101", "0102", "0");
    Seal("S1", "2026-11-10 10:00:00", "马丽华", "2026-12-01 09:00:00", "赵敏");
    Seal("S2", "2026-10-01 10:00:00", "马丽华", "2026-10-05 09:00:00", "O'Hara");
    Seal("S2", "2026-11-20 10:00:00", "马丽华", std::nullopt, "");
    Seal("S3", "2026-12-02 10:00:00", "周医生", std::nullopt, "");
  }
  void AddVisit(const std::string& event, const std::string& dept, const std::string& out_dept,
                const std::string& forbid_flag) {
    db_.AddPatient({.id = "P" + event, .name = "病人" + event});
    db_.AddVisit({.patient_id = "P" + event,
                  .event_no = event,
                  .dept_id = dept,
                  .out_time = "2026-11-01 10:00:00",
                  .forbid_flag = forbid_flag});
    db_.Execute("UPDATE TELV_VISIT_RECORD SET OUT_DEPT_ID = '" + out_dept + "' WHERE EVENT_NO = '" +
                event + "'");
  }
  void Seal(const std::string& event, const std::string& date, const std::string& by,
            const std::optional<std::string>& unsealed, const std::string& unsealed_by) {
    db_.Execute(
        "INSERT INTO TELV_PATIENT_FORBID (PATIENT_ID, PATIENT_EVENT, FORBID_DATE, "
        "FORBIDER_NAME, FORBID_NOTES, UNFORBID_DATE, UNFORBIDER_NAME) VALUES ('P" +
        event + "', '" + event + "', " + schema::SqlDate(date) + ", " + schema::SqlText(by) +
        ", '封存', " + schema::SqlDate(unsealed) + ", " + schema::SqlText(unsealed_by) + ")");
  }
  std::vector<Element> Sealed(const CXmlProperty::Map& filter) {
    return ListOf(db_, CBArchivePatient::GetFreezePatient, filter);
  }
  Visits SealedVisits(const CXmlProperty::Map& filter) {
    return SortedVisits(Sealed(filter), "eventno");
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(SealedPatientsTest, EachSealingEntryIsListedWithWhoSealedAndUnsealed) {
  const std::vector<Element> list = Sealed({{u"name", u"S1"}});
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], (Element{"patient",
                              "病人S1",
                              {{"bed", "01"},
                               {"eventno", "S1"},
                               {"forbidflag", "1"},
                               {"id", "PS1"},
                               {"indeptname", "心血管内科"},
                               {"lockdate", "2026-11-10 10:00:00"},
                               {"lockername", "马丽华"},
                               {"locknote", "封存"},
                               {"sex", "1"},
                               {"unlockdate", "2026-12-01 09:00:00"},
                               {"unlockername", "赵敏"},
                               {"unlocknote", ""}}}));
  EXPECT_EQ(SealedVisits({}), (Visits{"S1", "S2", "S2", "S3"}));
}

TEST_P(SealedPatientsTest, BothDepartmentKeysAreConditionsOnTheAdmissionDepartment) {
  EXPECT_EQ(SealedVisits({{u"filterdept", u"0101"}}), (Visits{"S1", "S3"}));
  EXPECT_EQ(SealedVisits({{u"indept", u"0101"}}), (Visits{"S1", "S3"}));
  EXPECT_EQ(SealedVisits({{u"filterdept", u"0101"}, {u"indept", u"0102"}}), Visits{});
  EXPECT_EQ(SealedVisits({{u"leavedept", u"0102"}}), (Visits{"S2", "S2", "S3"}));
  EXPECT_EQ(SealedVisits({{u"unlocker", u"'Ha"}}), (Visits{"S2"}));
  EXPECT_EQ(SealedVisits({{u"forbid_flag", u"0"}}), (Visits{"S3"}));
  EXPECT_EQ(SealedVisits({{u"eventno", u"S"}, {u"doctor", u"测试"}}),
            (Visits{"S1", "S2", "S2", "S3"}));
}

TEST_P(SealedPatientsTest, ASpanNeedsAStartAndAnEndAndIgnoresFurtherPieces) {
  EXPECT_EQ(SealedVisits({{u"lock_time_span", u"2026-11-01|2026-11-30"}}), (Visits{"S1", "S2"}));
  EXPECT_EQ(SealedVisits({{u"lock_time_span", u"2026-11-01|2026-11-30|2026-10-01"}}),
            (Visits{"S1", "S2"}));
  EXPECT_EQ(SealedVisits({{u"unlock_time_span", u"2026-10-01|2026-10-31"}}), (Visits{"S2"}));
  for (const char16_t* one_piece : {u"2026-11-01", u"|2026-11-30", u"2026-11-01|"}) {
    EXPECT_EQ(SealedVisits({{u"lock_time_span", one_piece}}), (Visits{"S1", "S2", "S2", "S3"}))
        << ToUtf8(one_piece);
  }
}

TEST_P(SealedPatientsTest, ABadArgumentFailsWithTheSystemsMessages) {
  ScopedBstr list;
  TestDataSource source(db_.init_string());
  const auto failure = [&](const std::u16string& args) {
    ScopedBstr text(args);
    return FailureOf([&] { CBArchivePatient::GetFreezePatient(&source, text.get(), list.out()); });
  };
  EXPECT_EQ(failure(u"<root><forbid_flag>1 OR 1=1</forbid_flag></root>"),
            u"不是有效的数字: '1 OR 1=1' (forbid_flag)");
  EXPECT_EQ(failure(u"<root><name>"), u"解析属性信息错误.");
  EXPECT_EQ(failure(u"<root><lock_time_span>2026-11-01|明天</lock_time_span></root>"),
            kDatabaseErrorMessage);
}

// Visits for the record check: C1 and C2 discharged from 0101, C3 from 0102, C4 with a record
// status outside the check's, C5 not yet settled (EVENT_STATUS 0).
class CheckPatientsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    AddVisit("C1", "0101", 1, "2026-11-10 10:00:00");
    AddVisit("C2", "0101", 3, "2026-11-20 10:00:00");
    AddVisit("C3", "0102", 0, "2026-11-15 10:00:00");
    AddVisit("C4", "0101", 5, "2026-11-12 10:00:00");
    AddVisit("C5", "0101", 1, "2026-11-12 10:00:00");
    db_.Execute("UPDATE TELV_VISIT_RECORD SET EVENT_STATUS = 0 WHERE EVENT_NO = 'C5'");
    db_.AddRecord({.patient_id = "PC1", .event_no = "C1"});
    db_.AddRecord({.patient_id = "PC1", .event_no = "C1"});
    db_.AddRecord({.patient_id = "PC2", .event_no = "C2", .status = 0});
  }
  void AddVisit(const std::string& event, const std::string& out_dept, int emr_status,
                const std::string& out_time) {
    db_.AddPatient({.id = "P" + event, .name = "病人" + event, .case_no = "K" + event});
    db_.AddVisit({.patient_id = "P" + event,
                  .event_no = event,
                  .dept_id = out_dept,
                  .out_time = out_time,
                  .emr_status = emr_status,
                  .code_status = 2});
  }
  std::vector<Element> Checked(const CXmlProperty::Map& filter) {
    return ListOf(db_, CBArchivePatient::GetCheckPatientList, filter);
  }
  Visits CheckedVisits(const CXmlProperty::Map& filter) {
    return SortedVisits(Checked(filter), "event_no");
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(CheckPatientsTest, TheListTellsWhetherAVisitHoldsALiveRecord) {
  std::map<std::string, Element> by_visit;
  for (const Element& e : Checked({})) by_visit[e.attributes.at("event_no")] = e;
  ASSERT_EQ(by_visit.size(), 3u);
  EXPECT_EQ(by_visit["C1"], (Element{"patient",
                                     "病人C1",
                                     {{"case_no", "KC1"},
                                      {"emr_copy", "1"},
                                      {"event_no", "C1"},
                                      {"patient_id", "PC1"},
                                      {"sex", "1"},
                                      {"status", "2"},
                                      {"visit_no", "1"}}}));
  EXPECT_EQ(by_visit["C2"].attributes.at("emr_copy"), "0");
  EXPECT_EQ(by_visit["C3"].attributes.at("emr_copy"), "0");
}

TEST_P(CheckPatientsTest, TheRecordStatesLimitOnlyAListWithoutADepartment) {
  EXPECT_EQ(CheckedVisits({}), (Visits{"C1", "C2", "C3"}));
  EXPECT_EQ(CheckedVisits({{u"dept_id", u"0101"}}), (Visits{"C1", "C2", "C4"}));
  EXPECT_EQ(CheckedVisits({{u"dept_id", u"01'01"}}), Visits{});
  EXPECT_EQ(CheckedVisits({{u"case_no", u"2"}}), (Visits{"C2"}));
}

TEST_P(CheckPatientsTest, TheDischargeDatesApplyOnlyTogether) {
  EXPECT_EQ(CheckedVisits({{u"dis_date_begin", u"2026-11-11 00:00:00"},
                           {u"dis_date_end", u"2026-11-30 00:00:00"}}),
            (Visits{"C2", "C3"}));
  EXPECT_EQ(CheckedVisits({{u"dis_date_begin", u"2026-11-11 00:00:00"}}),
            (Visits{"C1", "C2", "C3"}));
  EXPECT_EQ(CheckedVisits({{u"dis_date_end", u"2026-11-11 00:00:00"}}), (Visits{"C1", "C2", "C3"}));
}

// The checker's copy of P1's visit E1, whose front sheet is a live record.
class CheckCopyTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  static constexpr char kFrontSheet[] = "<HTML><BODY><P>首页</P></BODY></HTML>";

  void SetUp() override {
    db_.AddPatient({.id = "P1"});
    // A visit whose records are loaded as stored.
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .emr_status = 3});
    db_.AddRecord({.id = "F1",
                   .patient_id = "P1",
                   .event_no = "E1",
                   .catalog_id = 1,
                   .template_id = 1,
                   .emr_type = 1,
                   .html = kFrontSheet});
  }
  std::u16string Save(const std::u16string& emr_id, BSTR content, const std::u16string& user) {
    ScopedBstr info(u"<root><emr_id>" + emr_id +
                    u"</emr_id><patient_id>P1</patient_id><event_no>E1</event_no></root>"),
        client(u"<client><user id='" + user + u"'>" + user + u"医生</user></client>");
    return RunAsCall(db_.init_string(), [&](CEMRDataSource* source) {
      CBArchivePatient::SaveCheckEMR(source, info.get(), content, nullptr, client.get());
    });
  }
  std::u16string SaveText(const std::u16string& emr_id, const std::u16string& text,
                          const std::u16string& user) {
    ScopedBstr content;
    *content.out() = PackEmrContent(text);
    return Save(emr_id, content.get(), user);
  }
  // The copy (or front sheet) as handed out, unpacked; the failure's message after "!".
  std::u16string Read(const char16_t* patient = u"P1", const char16_t* event = u"E1") {
    ScopedBstr info(u"<root><patient_id>" + std::u16string(patient) + u"</patient_id><event_no>" +
                    event + u"</event_no></root>"),
        content;
    BSTR untouched = reinterpret_cast<BSTR>(this);
    TestDataSource source(db_.init_string());
    const std::u16string failure = FailureOf(
        [&] { CBArchivePatient::GetCheckEMR(&source, info.get(), &untouched, content.out()); });
    EXPECT_EQ(untouched, reinterpret_cast<BSTR>(this));
    if (!failure.empty()) return u"!" + failure;
    return UnpackEmrContent(content.get());
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(CheckCopyTest, TheFrontSheetIsReadUntilTheCheckersCopyIsSaved) {
  EXPECT_EQ(Read(), FromUtf8(kFrontSheet));
  EXPECT_EQ(SaveText(u"F1", u"<HTML><BODY>审核稿</BODY></HTML>", u"1001"), u"");
  EXPECT_EQ(Read(), u"<HTML><BODY>审核稿</BODY></HTML>");
  // Stored as the text behind its byte-order mark with its zero character, zlib-compressed.
  BYTE* bytes = nullptr;
  ULONG length = 0;
  {
    TestDataSource source(db_.init_string());
    source.ReadBlob(u"SELECT CONTENT FROM TELV_CHECK_EMR_CONTENT WHERE ID = 'F1'", bytes, length, 1,
                    0, true);
  }
  const std::unique_ptr<BYTE[]> owned(bytes);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(bytes), length / 2),
            std::u16string(u"<HTML><BODY>审核稿</BODY></HTML>") + u'\0');
  EXPECT_EQ(Read(u"P1", u"E2"), u"!该病人未书写病案首页");
}

TEST_P(CheckCopyTest, TheCopyIsHandedOutCompressedAgain) {
  ASSERT_EQ(SaveText(u"F1", u"稿", u"1001"), u"");
  ScopedBstr info(u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>"), content;
  TestDataSource source(db_.init_string());
  CBArchivePatient::GetCheckEMR(&source, info.get(), nullptr, content.out());
  ScopedBstr expected;
  *expected.out() = PackEmrContent(u"稿");
  ASSERT_EQ(SysStringByteLen(content.get()), SysStringByteLen(expected.get()));
  EXPECT_EQ(std::memcmp(content.get(), expected.get(), SysStringByteLen(expected.get())), 0);
}

TEST_P(CheckCopyTest, FrontSheetsAndCopiesBeyondOneReadPieceComeBackWhole) {
  // Stored and copied texts larger than 65,536 bytes, the copy's compressed bytes too (the
  // characters are drawn at random), each character in its place.
  std::u16string body;
  std::uint32_t state = 12345;
  for (int i = 0; i < 60000; ++i) {
    state = state * 1103515245u + 12345u;
    body.push_back(static_cast<char16_t>(0x4E00 + (state >> 16) % 0x5000));
  }
  const std::string sheet = "<HTML><BODY>" + ToUtf8(body) + "</BODY></HTML>";
  db_.AddRecord({.id = "F2",
                 .patient_id = "P1",
                 .event_no = "E2",
                 .catalog_id = 1,
                 .template_id = 1,
                 .emr_type = 1,
                 .html = sheet});
  db_.AddVisit({.patient_id = "P1", .event_no = "E2", .emr_status = 3});
  EXPECT_EQ(Read(u"P1", u"E2"), FromUtf8(sheet));
  const std::u16string copy = FromUtf8(sheet) + u"<!-- 审核 -->";
  ASSERT_EQ(SaveText(u"F1", copy, u"1001"), u"");
  EXPECT_EQ(Read(), copy);
}

TEST_P(CheckCopyTest, ASecondSaveReplacesTheContentAndKeepsTheFirstChecker) {
  ASSERT_EQ(SaveText(u"F1", u"一稿", u"1001"), u"");
  ASSERT_EQ(SaveText(u"F1", u"二稿", u"1002"), u"");
  EXPECT_EQ(db_.Query("SELECT ID, PATIENT_ID, EVENT_NO, CHECKER, CHECKER_ID FROM "
                      "TELV_CHECK_EMR_CONTENT"),
            (Rows{{"F1", "P1", "E1", "1001医生", "1001"}}));
  EXPECT_EQ(Read(), u"二稿");
}

TEST_P(CheckCopyTest, AnEmptyCopyOrOneThatIsNoTextIsRefusedAndTheFrontSheetStays) {
  const std::u16string empty = u"审核病历内容为空, 未保存";
  const std::u16string no_text = u"审核病历内容不是文本, 未保存";
  const std::vector<std::pair<std::vector<BYTE>, std::u16string>> refused = {
      {{}, empty},
      {codec::testing::Compressed("\0", 2), empty},                 // the terminator alone
      {codec::testing::Compressed("a\0\0\0b\0\0", 8), no_text},     // a zero inside
      {codec::testing::Compressed("a\0\x3D\xD8\0\0", 6), no_text},  // a lone surrogate
      {codec::testing::Compressed("a\0b", 3), kUncompressFailed},   // half a unit
      {codec::testing::BeyondTheExpansionLimit(), kExpandedTooLarge},
  };
  for (const auto& [bytes, message] : refused) {
    ScopedBstr content;
    *content.out() = SysAllocStringByteLen(reinterpret_cast<const char*>(bytes.data()),
                                           static_cast<UINT>(bytes.size()));
    EXPECT_EQ(Save(u"F1", content.get(), u"1001"), message) << bytes.size();
  }
  EXPECT_EQ(db_.Count("TELV_CHECK_EMR_CONTENT"), 0);
  EXPECT_EQ(Read(), FromUtf8(kFrontSheet));
}

TEST_P(CheckCopyTest, AContentThatIsNotCompressedTextOrACopyWithoutIdStoresNothing) {
  for (UINT bytes : {1u, 3u}) {
    ScopedBstr content;
    *content.out() = SysAllocStringByteLen("\x01\x02\x03", bytes);
    EXPECT_EQ(Save(u"F1", content.get(), u"1001"), kUncompressFailed);
  }
  ScopedBstr text(u"<HTML>not compressed</HTML>");
  EXPECT_EQ(Save(u"F1", text.get(), u"1001"), kUncompressFailed);
  EXPECT_EQ(SaveText(u"", u"稿", u"1001"), kDatabaseErrorMessage);
  EXPECT_EQ(db_.Count("TELV_CHECK_EMR_CONTENT"), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, SealedPatientsTest, db::testing::kBothEngines,
                         db::testing::EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, CheckPatientsTest, db::testing::kBothEngines,
                         db::testing::EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, CheckCopyTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::archive
