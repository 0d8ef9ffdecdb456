#include "archive/archive_report.h"

#include <gtest/gtest.h>

#include <barrier>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/xml/empty_list_document.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::BstrView;
using korvalis::com::ScopedBstr;
using korvalis::datasource::testing::EventLogCapture;
using korvalis::schema::SqlText;
using korvalis::schema::TestDatabase;
using korvalis::suite::testing::SiblingAnswer;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using korvalis::testing::TestDataSource;

constexpr char16_t kEmptyDocument[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"  ?><root/>";
constexpr int kGetDeptList = 9;  // the hospital component's third method

TEST(TechTitleTest, TitlesAreReadAsAStreamReadsANumber) {
  const struct {
    const char16_t* title;
    const char16_t* name;
  } kCases[] = {
      {u"10.5", u"住院总医师"},  {u"11", u"主治医师"},  {u"11.0", u"主治医师"},
      {u"12abc", u"副主任医师"}, {u" 13", u"主任医师"}, {u"1e1", u"住院医师"},
      {u"53", u"主任治疗师"},    {u"abc", u"未知"},     {u"", u"未知"},
      {u"99", u"未知"},          {u"-9", u"未知"},      {u"9", u"实习医生"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CBArchiveReport::BuildTechTitleMap(c.title), c.name) << korvalis::ToUtf8(c.title);
  }
  EXPECT_EQ(CBArchiveReport::TechTitleMap().size(), 21u);
}

// The map is filled by whichever first call comes first; every other caller waits for it and
// finds the same map. Run in a process of its own, so that the calls are really the first.
TEST(TechTitleTest, EightConcurrentFirstCallsShareOneMap) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        constexpr int kThreads = 8;
        std::barrier start(kThreads);
        std::vector<const void*> maps(kThreads);
        std::vector<std::u16string> names(kThreads);
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
          threads.emplace_back([&, i] {
            start.arrive_and_wait();
            names[i] = CBArchiveReport::BuildTechTitleMap(i % 2 == 0 ? u"10.5" : u"10.50");
            maps[i] = &CBArchiveReport::TechTitleMap();
          });
        }
        for (std::thread& thread : threads) thread.join();
        bool same = CBArchiveReport::TechTitleMap().size() == 21;
        for (int i = 0; i < kThreads; ++i) {
          same = same && maps[i] == maps[0] && names[i] == u"住院总医师";
        }
        std::exit(same ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

class InDeptListTest : public ::testing::Test {
 protected:
  // The department list; the data source cannot reach any database, so any use of it would
  // turn the answer into the empty document.
  std::optional<std::u16string> DeptList() {
    TestDataSource data_source(korvalis::testing::kUnreachableDatabase);
    static OLECHAR unset[] = u"unset";
    BSTR list = unset;
    CBArchiveReport::GetInDeptList(&data_source, &list);
    if (list == unset) ADD_FAILURE() << "no list stored";
    if (list == nullptr || list == unset) return std::nullopt;
    ScopedBstr owned;
    *owned.out() = list;
    return owned.text();
  }

  SiblingDoubles doubles_;
};

TEST_F(InDeptListTest, TheHospitalComponentsAnswerPassesThrough) {
  const std::u16string answer = u"<root><dept id='0101'>心血管内科</dept></root>";
  doubles_.Answer(IID_IHISHospital, kGetDeptList, answer);
  EXPECT_EQ(DeptList(), answer);
  const auto calls = doubles_.Calls(IID_IHISHospital);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].slot, kGetDeptList);
  EXPECT_EQ(calls[0].args, std::vector<std::u16string>{u"-10000"});

  // A failing call: its answer, or a null string when it wrote none; either way the failure's
  // error information is not left behind.
  doubles_.Answer(IID_IHISHospital, kGetDeptList, SiblingAnswer{E_FAIL, u"部分", u"HIS不可用"});
  EXPECT_EQ(DeptList(), u"部分");
  doubles_.Fail(IID_IHISHospital, kGetDeptList, E_FAIL, u"HIS不可用");
  EXPECT_EQ(DeptList(), std::nullopt);
  EXPECT_EQ(CEMRRemoteError().GetError(), kUnknownSystemError);
}

TEST_F(InDeptListTest, AMissingComponentGivesTheEmptyDocument) {
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISHospital));
  EXPECT_EQ(DeptList(), kEmptyDocument);
  doubles_.Register(SiblingDoubles::DoubleClass(IID_IHISHospital));
  // A copy: the module's own document stays whole.
  EXPECT_EQ(BstrView(EmptyListDocument()), kEmptyDocument);
}

struct VisitState {
  bool discharged = true;
  int emr_status = 1;
};

struct Signature {
  int sub_id;
  std::string name;
  std::optional<std::string> tech_title;
};

struct RecordState {
  int status = 1;
  int template_id = 2;
};

// Visits discharged from cardiology and surgery, with the records of template 2 written in
// November 2026 and a few that the list must leave out.
class WriterListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddVisit("P1", "Ann", "0201", "Surgery");
    AddVisit("P2", "Bob", "0101", "Cardio");
    AddVisit("P3", "Cid", "0101", "Cardio");
    AddVisit("P4", "Dee", "0101", "Cardio", {.discharged = false});
    AddVisit("P5", "Eve", "0101", "Cardio", {.emr_status = 2});

    AddRecord("P1", "2026-11-10 10:00:00", {{1, "W1", "10.5"}});
    AddRecord("P2", "2026-11-12 09:00:00", {{2, "Checker", "13"}, {1, "W2", "11"}});
    AddRecord("P2", "2026-11-05 09:00:00", {{1, "W3", std::nullopt}});
    AddRecord("P3", "2026-11-30 00:00:00", {{1, "W4", "99"}});  // the end of the span
    // Left out: no first signature, a deleted record, another template, outside the span, a
    // visit without discharge department, a visit whose records are not live.
    AddRecord("P1", "2026-11-11 10:00:00", {{2, "NoWriter", "10"}});
    AddRecord("P3", "2026-11-15 10:00:00", {{1, "Deleted", "10"}}, {.status = 0});
    AddRecord("P3", "2026-11-15 10:00:00", {{1, "OtherTemplate", "10"}}, {.template_id = 3});
    AddRecord("P3", "2026-12-01 10:00:00", {{1, "Late", "10"}});
    AddRecord("P4", "2026-11-15 10:00:00", {{1, "InHospital", "10"}});
    AddRecord("P5", "2026-11-15 10:00:00", {{1, "NotLive", "10"}});
  }

  void AddVisit(const std::string& patient, const std::string& name, const std::string& dept,
                const std::string& dept_name, VisitState state = {}) {
    db_.AddPatient({.id = patient, .name = name});
    db_.AddVisit({.patient_id = patient,
                  .event_no = "E" + patient,
                  .dept_id = dept,
                  .dept_name = dept_name,
                  .in_time = "2026-11-01 08:00:00",
                  .out_time = state.discharged ? std::optional<std::string>("2026-11-20 08:00:00")
                                               : std::nullopt,
                  .emr_status = state.emr_status});
  }

  void AddRecord(const std::string& patient, const std::string& created,
                 const std::vector<Signature>& signatures, RecordState state = {}) {
    const std::string id = db_.AddRecord({.patient_id = patient,
                                          .event_no = "E" + patient,
                                          .template_id = state.template_id,
                                          .title = "病程记录",
                                          .create_date = created,
                                          .status = state.status});
    for (const Signature& s : signatures) {
      db_.Execute("INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, NAME, TECH_TITLE) VALUES (" +
                  SqlText(id) + ", " + std::to_string(s.sub_id) + ", " + SqlText(s.name) + ", " +
                  s.tech_title.value_or("NULL") + ")");
    }
  }

  std::u16string Writers(const std::u16string& dept, const std::u16string& start = u"2026-11-01",
                         const std::u16string& end = u"2026-11-30",
                         const std::u16string& tmpl = u"2") {
    TestDataSource data_source(db_.init_string());
    ScopedBstr s(start), e(end), d(dept), t(tmpl), list;
    EXPECT_EQ(CBArchiveReport::GetWriterInfoList(&data_source, s.get(), e.get(), d.get(), t.get(),
                                                 list.out()),
              0);
    return list.text();
  }
  // The writers' names, in list order.
  std::vector<std::string> Names(const std::u16string& list) {
    std::vector<std::string> names;
    for (const Element& writer : ReadElements(list)) names.push_back(writer.text);
    return names;
  }

  TestDatabase db_;
};

TEST_F(WriterListTest, AllDepartmentsAreOrderedByDepartmentPatientAndDate) {
  const std::u16string list = Writers(u"$00000$");
  EXPECT_EQ(Names(list), (std::vector<std::string>{"W3", "W2", "W4", "W1"}));
  const std::vector<Element> writers = ReadElements(list);
  ASSERT_EQ(writers.size(), 4u);
  EXPECT_EQ(writers[3], (Element{"writer",
                                 "W1",
                                 {{"patient", "Ann"},
                                  {"eventno", "EP1"},
                                  {"emrtitle", "病程记录"},
                                  {"intime", "2026-11-01 08:00:00"},
                                  {"writetime", "2026-11-10 10:00:00"},
                                  {"techtitle", "10.5"},
                                  {"deptname", "Surgery"},
                                  {"techtitlename", "住院总医师"}}}));
  // A NULL title and an unlisted one (99) have no name.
  EXPECT_EQ(writers[0].attributes.at("techtitle"), "");
  EXPECT_EQ(writers[0].attributes.at("techtitlename"), "未知");
  EXPECT_EQ(writers[2].attributes.at("techtitlename"), "未知");
  // Written like every list: attributes in name order.
  EXPECT_NE(
      list.find(u"<writer deptname=\"Surgery\" emrtitle=\"病程记录\" eventno=\"EP1\" "
                u"intime=\"2026-11-01 08:00:00\" patient=\"Ann\" techtitle=\"10.5\" "
                u"techtitlename=\"住院总医师\" writetime=\"2026-11-10 10:00:00\">W1</writer>"),
      std::u16string::npos)
      << korvalis::ToUtf8(list);
}

TEST_F(WriterListTest, OneDepartmentIsOrderedByPatientAndDate) {
  EXPECT_EQ(Names(Writers(u"0101")), (std::vector<std::string>{"W3", "W2", "W4"}));
  EXPECT_EQ(Names(Writers(u"0201")), (std::vector<std::string>{"W1"}));
  EXPECT_EQ(Names(Writers(u"0201", u"2026-11-01", u"2026-11-30", u"3")),
            std::vector<std::string>{});
  // Arguments are values: a quote neither widens the statement nor breaks it.
  EXPECT_EQ(Writers(u"x' OR '1'='1"),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");
  EXPECT_EQ(Names(Writers(u"0101", u"2026-11-01", u"2026-11-30", u"2' OR '1'='1")),
            std::vector<std::string>{});
}

TEST_F(WriterListTest, AFailedQueryAnswersTheEmptyDocument) {
  EventLogCapture log;
  EXPECT_EQ(Writers(u"$00000$", u"2026-13-01"), kEmptyDocument);
  EXPECT_EQ(log.Records().size(), 1u);  // the database error is still logged
  EXPECT_EQ(Writers(u"$00000$", u"2026-11-01", u"2026-11-31"), kEmptyDocument);
}

}  // namespace
