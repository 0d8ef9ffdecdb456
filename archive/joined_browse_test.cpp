// The joined browse of a visit or of one catalogue: order, page breaks, the whole-visit limit,
// the seal and catalogues whose codes loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/testing/record_access_test_util.h"
#include "foundation/xml/xhtml_document.h"
#include "lookups/record_library.h"

namespace korvalis::archive::testing {
namespace {

constexpr char16_t kBreak[] = u"<P style=\"page-break-after:always\"></P>";

// The outer HTML that the joined pieces read as: the pieces in a BODY.
std::u16string Page(const std::vector<std::u16string>& pieces) {
  std::u16string body;
  for (const std::u16string& piece : pieces) body += piece;
  XHTMLDocument document;
  document.Load(body);
  std::u16string html;
  document.GetHtml(html);
  return html;
}

// The DIV of record `id` holding its paragraph.
std::u16string Div(const std::string& id) {
  return u"<DIV ID=" + FromUtf8(id) + u"><P>" + FromUtf8(id) + u"</P></DIV>";
}

class JoinedBrowseTest : public RecordAccessTest {
 protected:
  // `count` records R<catalog>_1.. of the catalogue, each holding its paragraph.
  void AddRecords(int catalog, int count) {
    for (int i = 1; i <= count; ++i) {
      const std::string id = "R" + std::to_string(catalog) + "_" + std::to_string(i);
      AddRecordWithContent(id, catalog, u"<P>" + FromUtf8(id) + u"</P>",
                           "0000" + std::to_string(i));
    }
  }
};

TEST_F(JoinedBrowseTest, CatalogsComeDepthFirstInSortOrderAndOnlySystemOnesAreDescended) {
  AddBrowseCatalog({.id = 10, .code = "001", .sort = 2});
  AddBrowseCatalog({.id = 11, .code = "001002", .parent = "001", .sort = 2});
  AddBrowseCatalog({.id = 12, .code = "001001", .parent = "001", .sort = 1});
  AddBrowseCatalog({.id = 13, .code = "001001001", .parent = "001001"});
  AddBrowseCatalog({.id = 14, .code = "001003", .parent = "001", .system_flag = 0, .sort = 0});
  AddBrowseCatalog({.id = 20, .code = "002", .sort = 1});
  AddBrowseCatalog({.id = 30, .code = "003", .system_flag = 0, .sort = 3});
  for (int catalog : {10, 11, 12, 13, 14, 20, 30}) AddRecords(catalog, 1);
  // Records of their catalogue come in SORT_CODE order; deleted ones are left out.
  AddRecordWithContent("R10_0", 10, u"<P>R10_0</P>", "00000");
  AddRecordWithContent("R10_x", 10, u"<P>deleted</P>", "00005", 0);

  EXPECT_EQ(Browse(0), Page({Div("R20_1"), kBreak, Div("R10_0"), Div("R10_1"), kBreak, Div("R12_1"),
                             kBreak, Div("R13_1"), kBreak, Div("R11_1")}));
  // A catalogue that is no system catalogue shows its records when it is asked for.
  EXPECT_EQ(Browse(14), Page({Div("R14_1")}));
  EXPECT_EQ(Browse(12), Page({Div("R12_1"), kBreak, Div("R13_1")}));
  EXPECT_EQ(Browse(99), Page({}));
}

TEST_F(JoinedBrowseTest, PageBreaksFollowEveryRecordOfTheListedCatalogs) {
  AddBrowseCatalog({.id = 12, .code = "001"});
  AddBrowseCatalog({.id = 34, .code = "002"});
  AddBrowseCatalog({.id = 56, .code = "003"});
  for (int catalog : {12, 34, 56}) AddRecords(catalog, 3);
  const auto catalog = [](int id) {
    const std::string prefix = "R" + std::to_string(id) + "_";
    return std::vector<std::u16string>{Div(prefix + "1"), Div(prefix + "2"), Div(prefix + "3")};
  };
  const auto joined = [&](bool break12, bool break34) {
    std::vector<std::u16string> pieces;
    for (auto [id, listed] : {std::pair{12, break12}, {34, break34}, {56, false}}) {
      for (const std::u16string& div : catalog(id)) {
        pieces.push_back(div);
        if (listed) pieces.push_back(kBreak);
      }
      if (!listed) pieces.push_back(kBreak);
    }
    pieces.pop_back();  // the trailing page break
    return Page(pieces);
  };
  EXPECT_EQ(Browse(0), joined(false, false));
  SetParameter("emr_browse_pagebreak", "12;34");
  EXPECT_EQ(Browse(0), joined(true, true));
  SetParameter("emr_browse_pagebreak", " 12;34;");
  EXPECT_EQ(Browse(0), joined(false, true));
  SetParameter("emr_browse_pagebreak", "012;3");
  EXPECT_EQ(Browse(0), joined(false, false));
}

TEST_F(JoinedBrowseTest, RecordsWithoutContentAddNothingButTheirCatalogStillEnds) {
  AddBrowseCatalog({.id = 1, .code = "001"});
  AddBrowseCatalog({.id = 2, .code = "002"});
  AddBrowseCatalog({.id = 3, .code = "003"});
  AddRecordWithContent("E1", 1, u"", "00001");
  AddRecordWithContent("R1", 1, u"<P>R1</P>", "00002");
  AddRecordWithContent("E2", 1, u"", "00003");
  AddRecordWithContent("E3", 2, u"", "00001");
  AddRecordWithContent("R3", 3, u"<P>R3</P>", "00001");
  SetParameter("emr_browse_pagebreak", "1");
  // R1 is not the last record of its catalogue: its break and the catalogue's follow it.
  EXPECT_EQ(Browse(0), Page({Div("R1"), kBreak, kBreak, kBreak, Div("R3")}));
  // A catalogue whose records are all empty joins to a lone page break, which is dropped.
  EXPECT_EQ(Browse(2), Page({}));
}

TEST_F(JoinedBrowseTest, TheWholeVisitLimitCountsEveryLiveRecord) {
  AddBrowseCatalog({.id = 1, .code = "001"});
  AddBrowseCatalog({.id = 2, .code = "001001", .parent = "001", .system_flag = 0});
  AddRecords(1, 9);
  AddRecords(2, 7);
  AddRecordWithContent("GONE", 1, u"<P>deleted</P>", "00099", 0);
  const std::u16string refused = std::u16string(u"!") + kTooManyRecordsMessage;
  for (const char* limit : {"", "abc", "16"}) {
    SetParameter("emr_browse_max", limit);
    EXPECT_NE(Browse(0)[0], u'!') << limit;  // 16 live records
  }
  // The 17th is filed in a catalogue that the browse does not show, and counts all the same.
  AddRecordWithContent("R2_8", 2, u"<P>R2_8</P>", "00008");
  for (const char* limit : {"", "abc", "16"}) {
    SetParameter("emr_browse_max", limit);
    EXPECT_EQ(Browse(0), refused) << limit;
    EXPECT_EQ(UnlimitedBrowse(0), refused) << limit;
  }
  SetParameter("emr_browse_max", "0");
  EXPECT_NE(Browse(0)[0], u'!');
  SetParameter("emr_browse_max", "-1");
  EXPECT_EQ(Browse(0), refused);
  // A browse of one catalogue is not limited.
  SetParameter("emr_browse_max", "5");
  EXPECT_EQ(Browse(0), refused);
  EXPECT_NE(Browse(1)[0], u'!');

  // Nothing is loaded before the count refuses: a damaged record does not fail the browse.
  Run("UPDATE TELV_EMR_CONTENT SET ENCRYPTION = 9 WHERE ID = 'R1_1'");
  EXPECT_EQ(Browse(0), refused);
  EXPECT_EQ(Browse(1), std::u16string(u"!") + kDatabaseErrorMessage);
}

TEST_F(JoinedBrowseTest, ARecordThatCannotBeLoadedFailsTheWholeBrowse) {
  AddBrowseCatalog({.id = 1, .code = "001"});
  AddRecords(1, 3);
  Run("UPDATE TELV_EMR_CONTENT SET ENCRYPTION = 9 WHERE ID = 'R1_3'");
  EXPECT_EQ(Browse(0), std::u16string(u"!") + kDatabaseErrorMessage);
  EXPECT_EQ(Browse(1), std::u16string(u"!") + kDatabaseErrorMessage);
}

TEST_F(JoinedBrowseTest, SealedAndMissingVisits) {
  AddBrowseCatalog({.id = 1, .code = "001"});
  AddRecords(1, 2);
  const std::u16string joined = Page({Div("R1_1"), Div("R1_2")});
  for (const char* flag : {"1", "2", ""}) {
    SetSealFlag(flag);
    EXPECT_EQ(Browse(0), std::u16string(u"!") + kSealedBrowseMessage) << flag;
    EXPECT_EQ(Browse(1), std::u16string(u"!") + kSealedBrowseMessage) << flag;
    EXPECT_EQ(UnlimitedBrowse(0), joined) << flag;
  }
  EXPECT_EQ(Browse(0, u"P1", u"E9"), u"!找不到指定的病人，病人住院号：E9");
  EXPECT_EQ(UnlimitedBrowse(0, u"P1", u"E9"), Page({}));
}

TEST_F(JoinedBrowseTest, CatalogsWhoseCodesLoopAreJoinedOnce) {
  // A catalogue that is its own parent, and one coded "###" under a root catalogue, which makes
  // every root catalogue its child.
  AddBrowseCatalog({.id = 1, .code = "001"});
  AddBrowseCatalog({.id = 2, .code = "009", .parent = "009"});
  AddBrowseCatalog({.id = 3, .code = "###", .parent = "001"});
  AddBrowseCatalog({.id = 4, .code = "002"});
  for (int catalog : {1, 2, 3, 4}) AddRecords(catalog, 1);
  EXPECT_EQ(Browse(2), Page({Div("R2_1")}));
  EXPECT_EQ(Browse(0), Page({Div("R1_1"), kBreak, Div("R3_1"), kBreak, Div("R4_1")}));
  EXPECT_EQ(Browse(3), Page({Div("R3_1"), kBreak, Div("R1_1"), kBreak, Div("R4_1")}));
}

TEST_F(JoinedBrowseTest, IdentifiersWithQuotesNameTheirOwnVisit) {
  Run(emrdoc::testing::PatientInsertSql({.id = "P'1"}));
  Run(emrdoc::testing::VisitInsertSql({.patient_id = "P'1", .event_no = "E'1"}));
  Run("UPDATE TELV_VISIT_RECORD SET FORBID_FLAG = '0'");
  AddBrowseCatalog({.id = 1, .code = "001"});
  AddRecords(1, 1);
  AddRecord({.id = "Q1", .patient_id = "P'1", .event_no = "E'1", .catalog = 1});
  StoreContent("Q1", u"<P>Q1</P>");
  EXPECT_EQ(Browse(0, u"P'1", u"E'1"), Page({Div("Q1")}));
  EXPECT_EQ(Browse(0, u"P1' OR '1'='1", u"E1"), u"!找不到指定的病人，病人住院号：E1");
}

}  // namespace
}  // namespace korvalis::archive::testing
