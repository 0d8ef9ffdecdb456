#include "quality/review/content_qc_markers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "foundation/xml/xhtml_document.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "quality/review/qc_patient.h"

namespace korvalis::review {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using korvalis::testing::RunAsCall;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kRecord[] =
    u"<root><emr_id>R1</emr_id><patient_id>P1</patient_id>"
    u"<event_no>E1</event_no></root>";

// A record page holding the given cells in a table.
std::u16string Page(const std::u16string& cells) {
  return u"<HTML XMLNS:CUSTOMTAG><BODY><TABLE><TR>" + cells + u"</TR></TABLE></BODY></HTML>";
}

// A marker cell of rule `qcid`.
std::u16string Marker(const std::u16string& qcid, const std::u16string& id,
                      const std::u16string& xid) {
  return u"<TD qlevel=\"1\" qcid=\"" + qcid + u"\" qinfo=\"不规范\" id=\"" + id + u"\" xid=\"" +
         xid + u"\">诊断</TD>";
}

// A page in the hand-over form: its UTF-16 text compressed with its zero terminator.
BSTR HandOver(const std::u16string& page) {
  BSTR content = AllocBstr(page);
  CreateCompression(-1)->CompressBstr(content);
  return content;
}

class ContentQcTest : public ::testing::Test {
 protected:
  // SaveContentQCInfo as one call with the page (none when empty); its failure, "" for none.
  std::u16string Save(const std::u16string& document, const std::u16string& page = u"") {
    ScopedBstr argument(document), content;
    if (!page.empty()) *content.out() = HandOver(page);
    return RunAsCall(db_.init_string(), [&](CEMRDataSource* source) {
      CBQCPatient::SaveContentQCInfo(source, argument.get(), content.get());
    });
  }
  std::vector<Element> List(const std::u16string& condition) {
    ScopedBstr argument(condition), list;
    EXPECT_EQ(RunAsCall(db_.init_string(),
                        [&](CEMRDataSource* source) {
                          CBQCPatient::GetContentQCInfo(source, argument.get(), list.out());
                        }),
              u"");
    return ReadElements(list.text());
  }
  Rows Markers() {
    return db_.Query(
        "SELECT PATIENT_ID, EVENT_NO, RULE_ID, ELEMENT_ID, ELEMENT_XID, EMR_ID, SEND_COUNT FROM "
        "PEV_CONTENT_QUALITY ORDER BY EMR_ID, RULE_ID, ELEMENT_ID");
  }
  void AddMarker(const std::string& emr_id, const std::string& rule_id, int send_count = 0) {
    db_.Execute(
        "INSERT INTO PEV_CONTENT_QUALITY (PATIENT_ID, EVENT_NO, RULE_ID, ELEMENT_ID, ELEMENT_XID, "
        "EMR_ID, SEND_COUNT) VALUES ('P1', 'E1', '" +
        rule_id + "', 'D1', 'X1', '" + emr_id + "', " + std::to_string(send_count) + ")");
  }

  schema::TestDatabase db_;
};

// ---- Saving ----

TEST_F(ContentQcTest, TheRecordsMarkersBecomeTheMarkerCellsOfItsPage) {
  AddMarker("R1", "OLD");
  AddMarker("R2", "KEEP");
  const std::u16string cells =
      Marker(u"CR1", u"STD_DE_1", u"1-1") +
      // Every tag case is a cell; markers without id or xid keep an empty text.
      u"<td qlevel='2' qcid='CR2' qinfo='x'>a</td><Td QLEVEL='3' QCID='CR3' QINFO='y' id='D3'>b"
      u"</Td>" +
      // One of the three attributes empty or missing: no marker.
      u"<TD qlevel='' qcid='N1' qinfo='x'></TD><TD qlevel='1' qcid='N2'></TD>"
      u"<TD qcid='N3' qinfo='x'></TD><TD qlevel='1' qcid='' qinfo='x'></TD>" +
      // Two equal markers give two rows; a marker of another tag is none.
      Marker(u"CR4", u"D4", u"4") + Marker(u"CR4", u"D4", u"4") +
      u"<TH qlevel='1' qcid='N4' qinfo='x'></TH>";
  EXPECT_EQ(Save(kRecord, Page(cells)), u"");
  EXPECT_EQ(Markers(), (Rows{{"P1", "E1", "CR1", "STD_DE_1", "1-1", "R1", "0"},
                             {"P1", "E1", "CR2", "", "", "R1", "0"},
                             {"P1", "E1", "CR3", "D3", "", "R1", "0"},
                             {"P1", "E1", "CR4", "D4", "4", "R1", "0"},
                             {"P1", "E1", "CR4", "D4", "4", "R1", "0"},
                             {"P1", "E1", "KEEP", "D1", "X1", "R2", "0"}}));

  // A page without any cell, and no page at all (the automation path), leave none.
  EXPECT_EQ(Save(kRecord, Page(u"")), u"");
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY", "EMR_ID = 'R1'"), 0);
  AddMarker("R1", "OLD");
  EXPECT_EQ(Save(kRecord), u"");
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY"), 1);
}

TEST_F(ContentQcTest, TheSendCountChangesOnlyTheRecordsCountWhateverThePage) {
  AddMarker("R1", "CR1");
  AddMarker("R1", "CR2");
  AddMarker("R2", "CR1");
  EXPECT_EQ(Save(u"<root><emr_id>R1</emr_id><send_count>3</send_count></root>",
                 Page(Marker(u"NEW", u"D", u"X"))),
            u"");
  EXPECT_EQ(db_.Query("SELECT EMR_ID, RULE_ID, SEND_COUNT FROM PEV_CONTENT_QUALITY ORDER BY "
                      "EMR_ID, RULE_ID"),
            (Rows{{"R1", "CR1", "3"}, {"R1", "CR2", "3"}, {"R2", "CR1", "0"}}));

  // A count placed bare must be a number; nothing changes.
  EXPECT_EQ(Save(u"<root><emr_id>R1</emr_id><send_count>abc</send_count></root>"),
            u"不是有效的数字: 'abc' (send_count)");
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY", "SEND_COUNT = 3"), 2);

  // Without a record the count is no update: the page's markers are stored without record.
  EXPECT_EQ(Save(u"<root><patient_id>P1</patient_id><event_no>E1</event_no><send_count>abc"
                 u"</send_count></root>",
                 Page(Marker(u"NEW", u"D", u"X"))),
            u"");
  EXPECT_EQ(db_.Query("SELECT EMR_ID, SEND_COUNT FROM PEV_CONTENT_QUALITY WHERE RULE_ID = 'NEW'"),
            (Rows{{"", "0"}}));
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY"), 4);
}

TEST_F(ContentQcTest, ValuesWithQuotesAreStoredAsTheyAre) {
  EXPECT_EQ(Save(u"<root><emr_id>R'1</emr_id><patient_id>P'1</patient_id><event_no>E1"
                 u"</event_no></root>",
                 Page(Marker(u"C'R", u"D'1", u"1'1"))),
            u"");
  EXPECT_EQ(Markers(), (Rows{{"P'1", "E1", "C'R", "D'1", "1'1", "R'1", "0"}}));
  EXPECT_EQ(Save(u"<root><emr_id>R'1</emr_id></root>"), u"");
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY"), 0);
}

TEST_F(ContentQcTest, AContentThatDoesNotOpenKeepsTheRecordsMarkers) {
  AddMarker("R1", "CR1");
  // Not a compressed page: refused before anything is deleted.
  ScopedBstr argument(kRecord), damaged(u"这不是压缩内容");
  EXPECT_EQ(RunAsCall(db_.init_string(),
                      [&](CEMRDataSource* source) {
                        CBQCPatient::SaveContentQCInfo(source, argument.get(), damaged.get());
                      }),
            kUncompressFailed);
  ScopedBstr one_byte;
  *one_byte.out() = SysAllocStringByteLen("x", 1);
  EXPECT_EQ(RunAsCall(db_.init_string(),
                      [&](CEMRDataSource* source) {
                        CBQCPatient::SaveContentQCInfo(source, argument.get(), one_byte.get());
                      }),
            kUncompressFailed);
  // A page that decompresses but that the HTML document cannot load (it fails only for want of
  // memory, which the loader here reports).
  ScopedBstr page;
  *page.out() = HandOver(Page(u""));
  const ContentPageLoader out_of_memory = [](XHTMLDocument&, const std::u16string&) -> HRESULT {
    return E_OUTOFMEMORY;
  };
  EXPECT_EQ(RunAsCall(db_.init_string(),
                      [&](CEMRDataSource* source) {
                        SaveContentQcMarkers(source, argument.get(), page.get(), out_of_memory);
                      }),
            kContentPageNotLoaded);
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY", "EMR_ID = 'R1'"), 1);
  // The same page loaded by the system's loader replaces them.
  EXPECT_EQ(RunAsCall(db_.init_string(),
                      [&](CEMRDataSource* source) {
                        SaveContentQcMarkers(source, argument.get(), page.get(), &LoadContentPage);
                      }),
            u"");
  EXPECT_EQ(db_.Count("PEV_CONTENT_QUALITY"), 0);

  EXPECT_EQ(Save(u"<root><emr_id>"), u"解析属性信息错误.");
}

// ---- Listing ----

class ContentQcListTest : public ContentQcTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "张'三"});
    db_.AddVisit({.patient_id = "P1",
                  .event_no = "2026110101",
                  .dept_name = "心血管内科",
                  .in_time = "2026-11-01 08:00:00",
                  .out_time = "2026-11-10 10:00:00",
                  .code_status = 1});
    db_.AddPatient({.id = "P2", .name = "李四"});
    db_.AddVisit({.patient_id = "P2",
                  .event_no = "2026120101",
                  .dept_id = "0102",
                  .dept_name = "呼吸内科",
                  .in_time = "2026-12-01 08:00:00"});
    db_.AddRecord({.id = "R1", .patient_id = "P1", .event_no = "2026110101", .title = "病案首页"});
    db_.AddRecord({.id = "R2", .patient_id = "P2", .event_no = "2026120101", .creator = "王医生"});
    db_.AddRecord({.id = "R3", .patient_id = "P2", .event_no = "2026120101", .status = 0});
    db_.Execute("INSERT INTO PEV_CONTENT_RULE (ID, NAME) VALUES ('CR1', '主要诊断不正确')");
    db_.Execute("INSERT INTO PEV_CONTENT_RULE (ID, NAME) VALUES ('CR2', '编码缺失')");
    Add("P1", "2026110101", "CR1", "R1", "STD_DE_1", "诊断&说明");
    Add("P2", "2026120101", "CR2", "R2", "STD_DE_2", "");
    Add("P2", "2026120101", "CR1", "R3", "STD_DE_3", "");  // its record is no longer live
  }

  void Add(const std::string& patient_id, const std::string& event_no, const std::string& rule,
           const std::string& record, const std::string& element, const std::string& text) {
    db_.Execute(
        "INSERT INTO PEV_CONTENT_QUALITY (PATIENT_ID, EVENT_NO, RULE_ID, ELEMENT_ID, ELEMENT_XID, "
        "EMR_ID, SEND_COUNT, DESCRIPTION) VALUES (" +
        schema::SqlText(patient_id) + ", " + schema::SqlText(event_no) + ", " +
        schema::SqlText(rule) + ", " + schema::SqlText(element) + ", '2-1', " +
        schema::SqlText(record) + ", 1, " + schema::SqlText(text) + ")");
  }

  // The record ids of the list, in its order.
  std::vector<std::string> Records(const std::u16string& condition) {
    std::vector<std::string> records;
    for (const Element& element : List(condition))
      records.push_back(element.attributes.at("emr_id"));
    return records;
  }
};

TEST_F(ContentQcListTest, TheMarkersOfLiveRecordsNewestVisitFirstWithTheirRuleVisitAndRecord) {
  EXPECT_EQ(List(u"<root/>"), (std::vector<Element>{{"content",
                                                     "编码缺失",
                                                     {{"patient_name", "李四"},
                                                      {"patient_id", "P2"},
                                                      {"event_no", "2026120101"},
                                                      {"now_dept", "呼吸内科"},
                                                      {"emr_id", "R2"},
                                                      {"title", "入院记录"},
                                                      {"rule_id", "CR2"},
                                                      {"element_id", "STD_DE_2"},
                                                      {"element_xid", "2-1"},
                                                      {"description", ""},
                                                      {"emr_status", "1"},
                                                      {"creator_id", "D001"},
                                                      {"creator", "王医生"},
                                                      {"send_count", "1"}}},
                                                    {"content",
                                                     "主要诊断不正确",
                                                     {{"patient_name", "张'三"},
                                                      {"patient_id", "P1"},
                                                      {"event_no", "2026110101"},
                                                      {"now_dept", "心血管内科"},
                                                      {"emr_id", "R1"},
                                                      {"title", "病案首页"},
                                                      {"rule_id", "CR1"},
                                                      {"element_id", "STD_DE_1"},
                                                      {"element_xid", "2-1"},
                                                      {"description", "诊断&说明"},
                                                      {"emr_status", "1"},
                                                      {"creator_id", "D001"},
                                                      {"creator", "测试医生"},
                                                      {"send_count", "1"}}}}));
  EXPECT_EQ(List(u"<root><rule_id>NONE</rule_id></root>"), std::vector<Element>{});
}

TEST_F(ContentQcListTest, EachGivenKeyNarrowsTheList) {
  using Ids = std::vector<std::string>;
  EXPECT_EQ(Records(u"<root><event_no>1101</event_no></root>"), Ids{"R1"});
  EXPECT_EQ(Records(u"<root><event_no>_</event_no></root>"), (Ids{"R2", "R1"}));  // a wildcard
  EXPECT_EQ(Records(u"<root><now_dept>0102</now_dept></root>"), Ids{"R2"});
  EXPECT_EQ(Records(u"<root><emr_status>2</emr_status></root>"), Ids{});
  EXPECT_EQ(Records(u"<root><code_status>1</code_status></root>"), Ids{"R1"});
  EXPECT_EQ(Records(u"<root><rule_id>CR1</rule_id></root>"), Ids{"R1"});
  EXPECT_EQ(Records(u"<root><patient_name>'</patient_name></root>"), Ids{"R1"});
  EXPECT_EQ(Records(u"<root><patient_name>李</patient_name><rule_id>CR2</rule_id></root>"),
            Ids{"R2"});
  // Date ranges count only with both bounds.
  EXPECT_EQ(Records(u"<root><out_date_begin>2026-11-10 00:00:00</out_date_begin>"
                    u"<out_date_end>2026-11-11 00:00:00</out_date_end></root>"),
            Ids{"R1"});
  EXPECT_EQ(Records(u"<root><out_date_begin>2026-11-10 00:00:00</out_date_begin></root>"),
            (Ids{"R2", "R1"}));
  EXPECT_EQ(Records(u"<root><in_date_begin>2026-12-01 00:00:00</in_date_begin>"
                    u"<in_date_end>2026-12-01 08:00:00</in_date_end></root>"),
            Ids{"R2"});
  EXPECT_EQ(Records(u"<root><in_date_end>2026-11-01 00:00:00</in_date_end></root>"),
            (Ids{"R2", "R1"}));
}

}  // namespace
}  // namespace korvalis::review
