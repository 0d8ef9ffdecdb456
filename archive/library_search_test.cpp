#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::archive {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::ReadElements;
using korvalis::testing::TestDataSource;
using schema::RecordRow;
using schema::SqlText;
using schema::TestDatabase;
using Hits = std::vector<Element>;

constexpr int kPneumoniaDocuments = 35;  // Chinese texts of P1
constexpr int kLatinDocuments = 7;       // Latin texts of P2

class LibrarySearchTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    AddPatient("P1", "张三", {{"E1", 3}});
    for (int i = 0; i < kPneumoniaDocuments; ++i) {
      AddDocument("P1", "E1", "病程记录" + std::to_string(i),
                  "诊断: 社区获得性肺炎, 第" + std::to_string(i) + "天。");
    }
    AddPatient("P2", "Smith", {{"E2", 3}});
    for (int i = 0; i < kLatinDocuments; ++i) {
      AddDocument("P2", "E2", "Progress " + std::to_string(i),
                  "Lobar PNEUMONIA of the right lung, day " + std::to_string(i));
    }
    // A deleted document and the document of a visit not archived are never found.
    AddDocument("P1", "E1", "已删除", "肺炎 pneumonia", "", /*status=*/0);
    AddPatient("P3", "李四", {{"E3", 1}});
    AddDocument("P3", "E3", "未归档", "肺炎 pneumonia");
  }

  void AddPatient(const std::string& id, const std::string& name,
                  const std::vector<std::pair<std::string, int>>& visits) {
    db_.AddPatient({.id = id, .name = name});
    for (const auto& [event_no, emr_status] : visits) {
      db_.AddVisit({.patient_id = id, .event_no = event_no, .emr_status = emr_status});
    }
  }

  // A record with its search texts; returns its ID.
  std::string AddDocument(const std::string& patient_id, const std::string& event_no,
                          const std::string& title, const std::string& full_text,
                          const std::string& xml_text = "", int status = 1, int catalog_id = 2) {
    const std::string id = db_.AddRecord({.patient_id = patient_id,
                                          .event_no = event_no,
                                          .catalog_id = catalog_id,
                                          .title = title,
                                          .status = status});
    db_.Execute("INSERT INTO MOLB_XML_TEXT (EMR_ID, FULL_TEXT, XML_TEXT) VALUES (" + SqlText(id) +
                ", " + SqlText(full_text) + ", " + SqlText(xml_text) + ")");
    return id;
  }

  Hits FullSearch(const std::u16string& what, LONG start, LONG end) {
    ScopedBstr query(what), result;
    CBEMRLibrary::FullSearch(&data_source_, query.get(), start, end, result.out());
    return ReadElements(result.text());
  }
  Hits FullSearch2(const std::u16string& condition, const std::u16string& what, LONG start = 1,
                   LONG end = 100) {
    ScopedBstr c(condition), w(what), result;
    CBEMRLibrary::FullSearch2(&data_source_, c.get(), w.get(), start, end, result.out());
    return ReadElements(result.text());
  }
  Hits PathSearch(const std::u16string& condition, const std::u16string& path_condition) {
    ScopedBstr c(condition), p(path_condition), result;
    CBEMRLibrary::PathSearch(&data_source_, c.get(), p.get(), 1, 100, result.out());
    return ReadElements(result.text());
  }

  // The hits without the sentinel; the sentinel's `rownum` in *total ("" without one).
  static Hits WithoutSentinel(const Hits& hits, std::string* total = nullptr) {
    Hits documents;
    if (total != nullptr) total->clear();
    for (const Element& hit : hits) {
      if (hit.attributes.at("id") != "0") {
        documents.push_back(hit);
        continue;
      }
      EXPECT_EQ(hit, (Element{"emr",
                              "0",
                              {{"id", "0"},
                               {"patient_id", "0"},
                               {"event_no", "0"},
                               {"patient_name", "0"},
                               {"in_time", "2007-07-07 00:00:00"},
                               {"out_time", "2007-07-07 00:00:00"},
                               {"in_dept_name", "0"},
                               {"rownum", hit.attributes.at("rownum")}}}));
      if (total != nullptr) *total = hit.attributes.at("rownum");
    }
    return documents;
  }
  static std::vector<std::string> RowNumbers(const Hits& hits) {
    std::vector<std::string> numbers;
    for (const Element& hit : hits) numbers.push_back(hit.attributes.at("rownum"));
    return numbers;
  }
  static std::vector<std::string> Numbers(int first, int last) {
    std::vector<std::string> numbers;
    for (int i = first; i <= last; ++i) numbers.push_back(std::to_string(i));
    return numbers;
  }
  static std::set<std::string> Titles(const Hits& hits) {
    std::set<std::string> titles;
    for (const Element& hit : hits) titles.insert(hit.text);
    return titles;
  }

  TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
  TestDataSource data_source_{db_.init_string()};
};

TEST_P(LibrarySearchTest, TheFirstPageCarriesTheTotalInItsSentinel) {
  const Hits page = FullSearch(u"肺炎", 1, 20);
  ASSERT_EQ(page.size(), 21u);
  std::string total;
  const Hits hits = WithoutSentinel(page, &total);
  EXPECT_EQ(total, "35");
  EXPECT_EQ(page.back().attributes.at("id"), "0");  // numbered beyond the page, it sorts last
  EXPECT_EQ(RowNumbers(hits), Numbers(1, 20));
  EXPECT_EQ(Titles(hits).size(), 20u);
  const Element& first = hits.front();
  EXPECT_EQ(first.attributes.at("patient_id"), "P1");
  EXPECT_EQ(first.attributes.at("event_no"), "E1");
  EXPECT_EQ(first.attributes.at("patient_name"), "张三");
  EXPECT_EQ(first.attributes.at("in_time"), "2026-01-05 08:00:00");
  EXPECT_EQ(first.attributes.at("out_time"), "");
  EXPECT_EQ(first.attributes.at("in_dept_name"), "心血管内科");
}

TEST_P(LibrarySearchTest, LaterPagesHaveNoSentinelAndTheRestOfTheHits) {
  const Hits first = WithoutSentinel(FullSearch(u"肺炎", 1, 20));
  const Hits second = FullSearch(u"肺炎", 21, 40);
  EXPECT_EQ(RowNumbers(second), Numbers(21, 35));
  EXPECT_EQ(WithoutSentinel(second).size(), second.size());
  std::set<std::string> all = Titles(first);
  for (const std::string& title : Titles(second)) all.insert(title);
  EXPECT_EQ(all.size(), 35u);
}

TEST_P(LibrarySearchTest, AFewHitsShareTheirLastNumberWithTheSentinel) {
  // Latin words match whatever their case.
  std::string total;
  const Hits hits = WithoutSentinel(FullSearch(u"pneumonia", 1, 20), &total);
  EXPECT_EQ(RowNumbers(hits), Numbers(1, 7));
  EXPECT_EQ(total, "7");
  EXPECT_EQ(hits.front().attributes.at("patient_name"), "Smith");
}

TEST_P(LibrarySearchTest, NoHitGivesAnEmptyRootAndEndZeroOnlyCounts) {
  EXPECT_EQ(FullSearch(u"肺结核", 1, 20), Hits{});
  EXPECT_EQ(FullSearch(u"肺结核", 21, 40), Hits{});
  std::string total;
  EXPECT_EQ(WithoutSentinel(FullSearch(u"肺炎", 1, 0), &total), Hits{});
  EXPECT_EQ(total, "35");
}

TEST_P(LibrarySearchTest, QueriesTheDatabaseRefusesFailWithItsMessage) {
  AddDocument("P1", "E1", "入院记录", "入院", "<root><age>45</age></root>");
  // An empty query, and operators the database answers by score, are refused by the database.
  for (const char16_t* query : {u"", u"肺炎 NEAR 发热", u"a - b"}) {
    EXPECT_EQ(FailureOf([&] { FullSearch(query, 1, 20); }), kDatabaseErrorMessage) << ToUtf8(query);
  }
  // A quote stays inside the query.
  EXPECT_EQ(FailureOf([&] { FullSearch(u"x') > 0 OR 1=1 OR ('", 1, 20); }), kDatabaseErrorMessage);
  // An operator and a path are taken as written: the database refuses what it cannot read.
  EXPECT_EQ(FailureOf([&] {
              FullSearch2(
                  u"<root><clause type=\"NUMBER\" relation=\"LT\" right=\"5\" "
                  u"logic=\"AND\">a.catalog_id</clause></root>",
                  u"");
            }),
            kDatabaseErrorMessage);
  EXPECT_EQ(FailureOf([&] {
              PathSearch(u"<root/>",
                         u"<root><catalogid/><clause path=\"/root/[\" relation=\"=\" "
                         u"logic=\"AND\">1</clause></root>");
            }),
            kDatabaseErrorMessage);
}

TEST_P(LibrarySearchTest, FullSearch2WithoutConditionAndWordsListsEveryArchivedDocument) {
  std::string total;
  const Hits hits = WithoutSentinel(FullSearch2(u"<root/>", u""), &total);
  EXPECT_EQ(hits.size(), 42u);
  EXPECT_EQ(total, "42");
  EXPECT_FALSE(Titles(hits).contains("已删除"));
  EXPECT_FALSE(Titles(hits).contains("未归档"));
}

TEST_P(LibrarySearchTest, FullSearch2CombinesTheConditionAndTheWords) {
  const std::u16string only_smith =
      u"<root><clause type=\"STRING\" relation=\"=\" right=\"Smith\" logic=\"AND\">b.name"
      u"</clause></root>";
  EXPECT_EQ(WithoutSentinel(FullSearch2(only_smith, u"")).size(), 7u);
  EXPECT_EQ(WithoutSentinel(FullSearch2(only_smith, u"肺炎")).size(), 0u);
  // A bare number and a date literal.
  EXPECT_EQ(WithoutSentinel(FullSearch2(u"<root><clause type=\"NUMBER\" relation=\"=\" right=\"2\" "
                                        u"logic=\"and\">a.catalog_id</clause><clause type=\"date\" "
                                        u"relation=\"lt\" right=\"2026-01-06\" logic=\"and\">"
                                        u"b.in_time</clause></root>",
                                        u"pneumonia"))
                .size(),
            7u);
}

TEST_P(LibrarySearchTest, QuotedValuesFindTheirDocuments) {
  AddPatient("P9", "O'Brien", {{"E9", 3}});
  AddDocument("P9", "E9", "Admission", "fever", "<root><note>it's cold</note></root>");
  const Hits by_name = WithoutSentinel(FullSearch2(
      u"<root><clause type=\"STRING\" relation=\"=\" right=\"O'Brien\" logic=\"AND\">b.name"
      u"</clause></root>",
      u""));
  ASSERT_EQ(by_name.size(), 1u);
  EXPECT_EQ(by_name[0].text, "Admission");
  const Hits by_path = WithoutSentinel(
      PathSearch(u"<root/>",
                 u"<root><catalogid/><clause path=\"/root/note\" relation=\"=\" logic=\"AND\">"
                 u"it's cold</clause></root>"));
  ASSERT_EQ(by_path.size(), 1u);
  EXPECT_EQ(by_path[0].attributes.at("patient_id"), "P9");
  // A value that tries to widen the statement is looked up as itself.
  EXPECT_EQ(FullSearch2(u"<root><clause type=\"STRING\" relation=\"=\" right=\"x' OR 'a'='a\" "
                        u"logic=\"AND\">b.name</clause></root>",
                        u""),
            Hits{});
}

TEST_P(LibrarySearchTest, PathSearchComparesValuesAndSearchesUnderPaths) {
  AddPatient("P5", "王五", {{"E5", 3}});
  AddDocument("P5", "E5", "出院记录", "出院",
              "<root><diagnosis>社区获得性肺炎</diagnosis><age>45</age></root>", 1, 10);
  AddDocument("P5", "E5", "入院记录", "入院",
              "<root><diagnosis>支气管炎</diagnosis><age>45</age></root>", 1, 2);
  const auto titles = [&](const std::u16string& path_condition) {
    return Titles(WithoutSentinel(PathSearch(u"<root/>", path_condition)));
  };
  EXPECT_EQ(titles(u"<root><catalogid/><clause path=\"/root/age\" relation=\"=\" logic=\"AND\">45"
                   u"</clause></root>"),
            (std::set<std::string>{"出院记录", "入院记录"}));
  EXPECT_EQ(titles(u"<root><catalogid/><clause path=\"/root/diagnosis\" logic=\"AND\">肺炎"
                   u"</clause></root>"),
            std::set<std::string>{"出院记录"});
  EXPECT_EQ(titles(u"<root><catalogid>2</catalogid><clause path=\"/root/age\" relation=\"gt\" "
                   u"logic=\"AND\">40</clause></root>"),
            std::set<std::string>{"入院记录"});
  EXPECT_EQ(titles(u"<root><catalogid/><clause path=\"/root/diagnosis\" relation=\"=\" "
                   u"logic=\"or\">支气管炎</clause><clause path=\"/root/diagnosis\" logic=\"or\">"
                   u"肺炎</clause></root>"),
            (std::set<std::string>{"出院记录", "入院记录"}));
  // Together with a column condition.
  EXPECT_EQ(Titles(WithoutSentinel(PathSearch(
                u"<root><clause type=\"STRING\" relation=\"$\" right=\"出院\" logic=\"AND\">a.title"
                u"</clause></root>",
                u"<root><catalogid/><clause path=\"/root/age\" relation=\"=\" logic=\"AND\">45"
                u"</clause></root>"))),
            std::set<std::string>{"出院记录"});
  // No condition at all: every archived document.
  EXPECT_EQ(WithoutSentinel(PathSearch(u"<root/>", u"<root><catalogid/></root>")).size(), 44u);
}

TEST_P(LibrarySearchTest, BadConditionsFailBeforeAnyStatement) {
  TestDataSource unreachable(kUnreachableDatabase);
  const auto path_failure = [&](const std::u16string& condition, const std::u16string& path) {
    ScopedBstr c(condition), p(path), result;
    return FailureOf(
        [&] { CBEMRLibrary::PathSearch(&unreachable, c.get(), p.get(), 1, 20, result.out()); });
  };
  EXPECT_EQ(path_failure(u"<root/>", u"<root><catalogid>1 OR 1=1</catalogid></root>"),
            u"不是有效的数字: '1 OR 1=1' (catalogid)");
  EXPECT_EQ(path_failure(u"<root/>", u"<root/>"), u"路径条件语句属性均不能为空！");
  EXPECT_EQ(path_failure(u"<root><clause/></root>", u"<root><catalogid/></root>"),
            u"条件语句除了表名称，其它属性均不能为空！");
  EXPECT_EQ(path_failure(u"<root>", u"<root><catalogid/></root>"), u"无效XML!");
  ScopedBstr c(u"<root><clause logic=\"AND\"/></root>"), w(u"肺炎"), result;
  EXPECT_EQ(FailureOf([&] {
              CBEMRLibrary::FullSearch2(&unreachable, c.get(), w.get(), 1, 20, result.out());
            }),
            u"条件语句除了表名称，其它属性均不能为空！");
  ScopedBstr number(
      u"<root><clause type=\"NUMBER\" relation=\"=\" right=\"0 OR 1=1\" "
      u"logic=\"AND\">A.CATALOG_ID</clause></root>");
  EXPECT_EQ(FailureOf([&] {
              CBEMRLibrary::FullSearch2(&unreachable, number.get(), w.get(), 1, 20, result.out());
            }),
            u"不是有效的数字: '0 OR 1=1' (right)");
}

TEST_P(LibrarySearchTest, HitsAreNumberedByDocumentAndThenVisit) {
  // Written out of the order of their keys; each document is listed for both visits of its
  // patient, which the hits tell apart by the visit's admission time.
  db_.AddPatient({.id = "P8", .name = "吴九"});
  db_.AddVisit(
      {.patient_id = "P8", .event_no = "E8b", .in_time = "2026-02-02 08:00:00", .emr_status = 3});
  db_.AddVisit(
      {.patient_id = "P8", .event_no = "E8a", .in_time = "2026-01-01 08:00:00", .emr_status = 3});
  for (const char* id : {"D3", "D1", "D2"}) {
    db_.AddRecord({.id = id, .patient_id = "P8", .event_no = "E8a"});
    db_.Execute("INSERT INTO MOLB_XML_TEXT (EMR_ID, FULL_TEXT) VALUES ('" + std::string(id) +
                "', '房室传导阻滞')");
  }
  const auto keys = [](const Hits& hits) {
    std::vector<std::string> keys;
    for (const Element& hit : WithoutSentinel(hits)) {
      keys.push_back(hit.attributes.at("id") + " " + hit.attributes.at("in_time").substr(0, 7) +
                     " " + hit.attributes.at("rownum"));
    }
    return keys;
  };
  using Keys = std::vector<std::string>;
  EXPECT_EQ(keys(FullSearch(u"房室传导阻滞", 1, 3)),
            (Keys{"D1 2026-01 1", "D1 2026-02 2", "D2 2026-01 3"}));
  EXPECT_EQ(keys(FullSearch(u"房室传导阻滞", 4, 6)),
            (Keys{"D2 2026-02 4", "D3 2026-01 5", "D3 2026-02 6"}));
  EXPECT_EQ(keys(FullSearch2(u"<root/>", u"房室传导阻滞", 2, 3)),
            (Keys{"D1 2026-02 2", "D2 2026-01 3"}));
  EXPECT_EQ(keys(PathSearch(u"<root><clause type=\"STRING\" relation=\"=\" right=\"P8\" "
                            u"logic=\"AND\">A.PATIENT_ID</clause></root>",
                            u"<root><catalogid/></root>"))
                .front(),
            "D1 2026-01 1");
}

TEST_P(LibrarySearchTest, ADocumentIsListedOnceForEachArchivedVisitOfItsPatient) {
  AddPatient("P6", "赵六", {{"E6a", 3}, {"E6b", 3}});
  AddDocument("P6", "E6a", "入院记录", "心房颤动");
  std::string total;
  const Hits hits = WithoutSentinel(FullSearch(u"心房颤动", 1, 20), &total);
  EXPECT_EQ(total, "2");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].attributes.at("event_no"), "E6a");  // the document's own visit
  EXPECT_EQ(hits[1].attributes.at("event_no"), "E6a");
}

TEST_P(LibrarySearchTest, SingleSearchLeavesOutVisitsBeingWrittenOrRolledBack) {
  AddPatient("P4", "孙七", {{"E4d", 1}, {"E4a", 3}, {"E4b", 2}, {"E4c", 0}});
  for (const char* event_no : {"E4d", "E4c", "E4b", "E4a"}) {
    AddDocument("P4", event_no, std::string("记录") + event_no, "x");
  }
  AddDocument("P4", "E4a", "已删除", "x", "", /*status=*/0);
  const auto search = [&](const std::u16string& patient_id) {
    ScopedBstr id(patient_id), result;
    CBEMRLibrary::SingleSearch(&data_source_, id.get(), result.out());
    return ReadElements(result.text());
  };
  const Hits hits = search(u"P4");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].text, "记录E4a");
  EXPECT_EQ(hits[1].text, "记录E4d");
  EXPECT_FALSE(hits[0].attributes.contains("rownum"));
  EXPECT_EQ(hits[0].attributes.at("patient_name"), "孙七");
  EXPECT_EQ(search(u"x' OR '1'='1"), Hits{});
}

TEST_P(LibrarySearchTest, PathValuesAreCutAt420CharactersAndEmptyForAnUnknownDocument) {
  AddPatient("P7", "周八", {{"E7", 3}});
  const std::string long_text(500, 'a');
  const std::string id =
      AddDocument("P7", "E7", "入院记录", "x",
                  "<root><complaint>发热</complaint><history>" + long_text + "</history></root>");
  const std::string without_texts = db_.AddRecord({.patient_id = "P7", .event_no = "E7"});
  const auto values = [&](const std::u16string& emr_id) {
    ScopedBstr i(emr_id),
        paths(
            u"<paths><path>/root/history</path><group><path>/root/complaint"
            u"</path></group><path>/root/none</path></paths>"),
        result;
    CBEMRLibrary::GetPathValue(&data_source_, i.get(), paths.get(), result.out());
    return ReadElements(result.text());
  };
  const std::string history = "<history>" + long_text + "</history>";
  EXPECT_EQ(values(FromUtf8(id)), (Hits{{"value", history.substr(0, 420), {}},
                                        {"value", "<complaint>发热</complaint>", {}},
                                        {"value", "", {}}}));
  const Hits empty = {{"value", "", {}}, {"value", "", {}}, {"value", "", {}}};
  EXPECT_EQ(values(u"no such record"), empty);
  EXPECT_EQ(values(u"x' OR '1'='1"), empty);
  // A record without search texts has no values either.
  EXPECT_EQ(values(FromUtf8(without_texts)), empty);
}

// A path without its leading slash reads from the document too.
TEST_P(LibrarySearchTest, RelativePathsReadFromTheDocument) {
  AddPatient("P8", "吴九", {{"E8", 3}});
  const std::string id = AddDocument("P8", "E8", "出院记录", "x",
                                     "<root><complaint>发热</complaint><plan>观察</plan></root>");
  ScopedBstr i(FromUtf8(id)),
      paths(u"<root><path>root/*[1]</path><path>/root/*[1]</path><path>string(root/plan)</path>"
            u"<path>count(.)</path></root>"),
      result;
  CBEMRLibrary::GetPathValue(&data_source_, i.get(), paths.get(), result.out());
  EXPECT_EQ(ReadElements(result.text()), (Hits{{"value", "<complaint>发热</complaint>", {}},
                                               {"value", "<complaint>发热</complaint>", {}},
                                               {"value", "观察", {}},
                                               {"value", "1", {}}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, LibrarySearchTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::archive
