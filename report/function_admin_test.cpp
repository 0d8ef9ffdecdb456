#include "report/function_admin.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

constexpr char kG1[] = "a0000000-0000-4000-8000-000000000001";
constexpr char kG2[] = "a0000000-0000-4000-8000-000000000002";

class FunctionAdminTest : public ReportTest {
 protected:
  void SetUp() override {
    for (const char* table :
         {"TELV_FUNCTION_CONFIG", "TELV_FUNCTION_GROUP", "TELV_FUNCTION_GROUP_MAP", "TELV_FUNCTION",
          "TELV_FUNCTION_DISPATCHED"}) {
      db().Execute(std::string("DELETE FROM ") + table);
    }
  }

  // A writing method in a call of its own; the identifier it answers, if any.
  template <class Method>
  static std::u16string Set(Method method, const std::u16string& request) {
    ScopedBstr text(request);
    ScopedBstr answer;
    Write([&](CEMRDataSource* data_source) {
      if constexpr (std::is_invocable_v<Method, CEMRDataSource*, BSTR, BSTR*>) {
        method(data_source, text.get(), answer.out());
      } else {
        method(data_source, text.get());
      }
    });
    return answer.text();
  }
  static void Config(const std::u16string& request) {
    Set(CBFunctionAdmin::SetFunctionConfig, request);
  }
  static std::u16string List(long (*method)(CEMRDataSource*, BSTR, BSTR*),
                             const std::u16string& condition) {
    ScopedBstr text(condition);
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      method(data_source, text.get(), result);
    });
  }

  static void AddGroup(const std::string& id, const std::string& name,
                       const std::string& app_name = "pirundel", int place = 1,
                       const std::string& parent = "") {
    db().Execute("INSERT INTO TELV_FUNCTION_GROUP VALUES (" + schema::SqlText(id) + ", " +
                 schema::SqlText(name) + ", " + schema::SqlText(parent) + ", '3', " +
                 schema::SqlText(app_name) + ", " + std::to_string(place) + ")");
  }
  static void AddItem(const std::string& id, const std::string& name, int type = 2) {
    db().Execute("INSERT INTO TELV_FUNCTION_CONFIG VALUES (" + schema::SqlText(id) + ", " +
                 schema::SqlText(name) + ", 'T1', " + std::to_string(type) + ", '备注', 'R1')");
  }
  static void Place(const std::string& group, const std::string& menu, int place) {
    db().Execute("INSERT INTO TELV_FUNCTION_GROUP_MAP VALUES (" + schema::SqlText(group) + ", " +
                 schema::SqlText(menu) + ", " + std::to_string(place) + ")");
  }
  static void AddFixed(const std::string& id, const std::string& name, const std::string& group) {
    db().Execute("INSERT INTO TELV_FUNCTION VALUES (" + schema::SqlText(id) + ", " +
                 schema::SqlText(name) + ", '说明', " + schema::SqlText(group) + ")");
    db().Execute("INSERT INTO TELV_FUNCTION_DISPATCHED VALUES (" + schema::SqlText(id) + ", " +
                 schema::SqlText(group) + ")");
  }

  static Rows Map() {
    return db().Query(
        "SELECT GROUP_ID, MENU_ID, SORT_CODE FROM TELV_FUNCTION_GROUP_MAP "
        "ORDER BY GROUP_ID, SORT_CODE, MENU_ID");
  }
  static Rows Items() {
    return db().Query(
        "SELECT ID, NAME, TEMPLATE_ID, TYPE, REMARK, REPORT_ID FROM TELV_FUNCTION_CONFIG "
        "ORDER BY ID");
  }
  // Every row of the five tables.
  static Rows Everything() {
    Rows rows = Map();
    for (const char* sql : {"SELECT * FROM TELV_FUNCTION_CONFIG ORDER BY ID",
                            "SELECT * FROM TELV_FUNCTION_GROUP "
                            "ORDER BY ID",
                            "SELECT * FROM TELV_FUNCTION ORDER BY FUNCTION_ID",
                            "SELECT * FROM TELV_FUNCTION_DISPATCHED ORDER BY FUNCTION_ID"}) {
      for (auto& row : db().Query(sql)) rows.push_back(row);
    }
    return rows;
  }
};

TEST_F(FunctionAdminTest, PlacingMovesTheEntryOutOfEveryGroupWithoutWritingTheItem) {
  AddItem("I1", "病人一览");
  Place(kG1, "I1", 1);
  Place(kG2, "I1", 3);
  Place(kG2, "I2", 1);
  const Rows items = Items();
  Config(
      u"<root><id>I1</id><group_id>G3</group_id><sort_code> 5 </sort_code>"
      u"<name>新名</name><type>1</type><new>1</new></root>");
  EXPECT_EQ(Map(), (Rows{{"G3", "I1", "5"}, {kG2, "I2", "1"}}));
  EXPECT_EQ(Items(), items);
  // A place that is not a number is refused before anything changes.
  const Rows before = Everything();
  EXPECT_EQ(FailureOf([] {
              Config(
                  u"<root><id>I1</id><group_id>G4</group_id>"
                  u"<sort_code>5) --</sort_code></root>");
            }),
            u"不是有效的数字: '5) --' (sort_code)");
  EXPECT_EQ(Everything(), before);
}

TEST_F(FunctionAdminTest, AFixedFunctionMovesWithItsDispatchedRowsToTheEndOfAGroup) {
  AddFixed("F1", "病历书写", kG1);
  Place(kG1, "F1", 1);
  Place(kG2, "A", 1);
  Place(kG2, "B", 7);
  // Without a group (or without an identifier) nothing changes.
  const Rows before = Everything();
  Config(u"<root><id>F1</id><group>1</group></root>");
  Config(u"<root><group_id>G3</group_id><group>1</group><name>x</name><type>1</type></root>");
  EXPECT_EQ(Everything(), before);

  Config(u"<root><id>F1</id><group_id>" + FromUtf8(kG2) + u"</group_id><group>1</group></root>");
  EXPECT_EQ(Map(), (Rows{{kG2, "A", "1"}, {kG2, "B", "7"}, {kG2, "F1", "8"}}));
  EXPECT_EQ(db().Query("SELECT GROUP_ID FROM TELV_FUNCTION UNION ALL "
                       "SELECT GROUP_ID FROM TELV_FUNCTION_DISPATCHED"),
            (Rows{{kG2}, {kG2}}));
}

TEST_F(FunctionAdminTest, ItemsAreWrittenAndJoinTheEndOfTheirGroupOnce) {
  AddGroup(kG1, "空组");
  const std::u16string g1 = FromUtf8(kG1), g2 = FromUtf8(kG2);
  Config(
      u"<root><new>1</new><id>I1</id><name>新项</name><type> 2 </type><template_id>T9"
      u"</template_id><group_id>" +
      g1 + u"</group_id></root>");
  EXPECT_EQ(Items(), (Rows{{"I1", "新项", "T9", "2", "", ""}}));
  EXPECT_EQ(Map(), (Rows{{kG1, "I1", "1"}}));
  // An update of an item already in the group keeps its place.
  Place(kG1, "I0", 4);
  Config(
      u"<root><id>I1</id><name>改名</name><type>1</type><remark>r</remark><report_id>R2"
      u"</report_id><group_id>" +
      g1 + u"</group_id></root>");
  EXPECT_EQ(Items(), (Rows{{"I1", "改名", "", "1", "r", "R2"}}));
  EXPECT_EQ(Map(), (Rows{{kG1, "I1", "1"}, {kG1, "I0", "4"}}));
  // Naming another group moves it to that group's end and out of all others.
  Place(kG2, "I5", 2);
  Place("G3", "I1", 9);
  Config(u"<root><id>I1</id><name>改名</name><type>1</type><group_id>" + g2 +
         u"</group_id></root>");
  EXPECT_EQ(Map(), (Rows{{kG1, "I0", "4"}, {kG2, "I5", "2"}, {kG2, "I1", "3"}}));
}

TEST_F(FunctionAdminTest, RequestsWithoutTheirKeysOrWithBadValuesChangeNothing) {
  AddItem("I1", "旧");
  Place(kG1, "I1", 1);
  const Rows before = Everything();
  for (const char16_t* request :
       {u"", u"<root/>", u"<root><id>I1</id><type>1</type><group_id>G9</group_id></root>",
        u"<root><name>x</name><type>1</type></root>", u"<root><id>I1</id><name>x</name></root>"}) {
    Config(request);
  }
  for (const char16_t* request : {u"", u"<root/>", u"<root><name>I1</name></root>"}) {
    Set(CBFunctionAdmin::DelFunctionConfig, request);
    Set(CBFunctionAdmin::DelFunctionGroup, request);
  }
  EXPECT_EQ(Everything(), before);
  EXPECT_EQ(
      FailureOf([] { Config(u"<root><id>I1</id><name>x</name><type>1 OR 1=1</type></root>"); }),
      u"不是有效的数字: '1 OR 1=1' (type)");
  EXPECT_EQ(FailureOf([] { Config(u"<root><id>I1</root>"); }), u"解析属性信息错误.");
  EXPECT_EQ(FailureOf([] { List(CBFunctionAdmin::GetGroupMenu, u"<root>"); }),
            u"解析属性信息错误.");
  EXPECT_EQ(Everything(), before);
}

// The item is written before its link: a failure at the link leaves neither.
TEST_F(FunctionAdminTest, AFailureAtTheLinkLeavesNothingOfTheCall) {
  schema::TestDatabase database;
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(database.path().c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TRIGGER FAIL_LINK BEFORE INSERT ON TELV_FUNCTION_GROUP_MAP "
                         "BEGIN SELECT RAISE(ABORT, 'injected'); END",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  ScopedBstr request(
      u"<root><new>1</new><id>I1</id><name>n</name><type>1</type>"
      u"<group_id>G1</group_id></root>");
  EXPECT_EQ(korvalis::testing::RunAsCall(database.init_string(),
                                         [&](CEMRDataSource* data_source) {
                                           CBFunctionAdmin::SetFunctionConfig(data_source,
                                                                              request.get());
                                         }),
            kDatabaseErrorMessage);
  EXPECT_EQ(database.Count("TELV_FUNCTION_CONFIG"), 0);
}

TEST_F(FunctionAdminTest, GroupsAreReorderedUpdatedAndCreatedAtTheNextPlaceOfTheirApplication) {
  AddGroup(kG1, "甲", "pirundel", 4);
  AddGroup(kG2, "乙", "other", 9);
  EXPECT_EQ(
      Set(CBFunctionAdmin::SetFunctionGroup, u"<root><id>" + FromUtf8(kG1) +
                                                 u"</id><sort_code>6</sort_code><name>x</name>"
                                                 u"</root>"),
      u"");
  const std::u16string id =
      Set(CBFunctionAdmin::SetFunctionGroup,
          u"<root><name>O'Brien 组</name><parent_id>" + FromUtf8(kG1) +
              u"</parent_id><app_id>3</app_id><app_name>pirundel</app_name></root>");
  ASSERT_EQ(id.size(), 36u);
  EXPECT_EQ(id.find_first_not_of(u"0123456789abcdef-"), std::u16string::npos);
  EXPECT_EQ(db().Query("SELECT NAME, PARENT_ID, APP_ID, APP_NAME, SORT_CODE FROM "
                       "TELV_FUNCTION_GROUP WHERE ID = " +
                       schema::SqlText(ToUtf8(id))),
            (Rows{{"O'Brien 组", kG1, "3", "pirundel", "7"}}));
  EXPECT_EQ(Set(CBFunctionAdmin::SetFunctionGroup,
                u"<root><id>" + FromUtf8(kG2) +
                    u"</id><name>丙</name><parent_id>P</parent_id>"
                    u"<app_id>4</app_id><app_name>it's</app_name></root>"),
            FromUtf8(kG2));
  EXPECT_EQ(db().Query("SELECT NAME, PARENT_ID, APP_ID, APP_NAME, SORT_CODE FROM "
                       "TELV_FUNCTION_GROUP ORDER BY SORT_CODE"),
            (Rows{{"甲", "", "3", "pirundel", "6"},
                  {"O'Brien 组", kG1, "3", "pirundel", "7"},
                  {"丙", "P", "4", "it's", "9"}}));
  // Missing keys: no identifier and no change.
  const Rows before = Everything();
  EXPECT_EQ(Set(CBFunctionAdmin::SetFunctionGroup,
                u"<root><name>x</name><app_id>1</app_id>"
                u"<app_name>a</app_name></root>"),
            u"");
  // A place that is not a number is refused before the group is touched.
  EXPECT_EQ(
      FailureOf([] {
        Set(CBFunctionAdmin::SetFunctionGroup,
            u"<root><id>" + FromUtf8(kG1) + u"</id><sort_code>1, NAME = 'x'</sort_code></root>");
      }),
      u"不是有效的数字: '1, NAME = 'x'' (sort_code)");
  EXPECT_EQ(Everything(), before);
}

TEST_F(FunctionAdminTest, DeletingAGroupMovesItsEntriesToNoGroupAndLeavesItsChildren) {
  AddGroup(kG1, "父");
  AddGroup(kG2, "子", "pirundel", 2, kG1);
  AddFixed("F1", "固定", kG1);
  AddItem("I1", "项");
  Place(kG1, "F1", 1);
  Place(kG1, "I1", 2);
  Place(kG2, "I1", 1);
  Set(CBFunctionAdmin::DelFunctionGroup, u"<root><id>" + FromUtf8(kG1) + u"</id></root>");
  EXPECT_EQ(Map(), (Rows{{"####", "F1", "1"}, {"####", "I1", "2"}, {kG2, "I1", "1"}}));
  EXPECT_EQ(db().Query("SELECT GROUP_ID FROM TELV_FUNCTION UNION ALL "
                       "SELECT GROUP_ID FROM TELV_FUNCTION_DISPATCHED"),
            (Rows{{"####"}, {"####"}}));
  EXPECT_EQ(db().Query("SELECT ID, PARENT_ID FROM TELV_FUNCTION_GROUP"), (Rows{{kG2, kG1}}));

  Set(CBFunctionAdmin::DelFunctionConfig, u"<root><id>I1</id></root>");
  db().Execute("INSERT INTO TELV_FUNCTION_DISPATCHED VALUES ('I1', 'x')");
  Set(CBFunctionAdmin::DelFunctionConfig, u"<root><id>I1</id></root>");
  EXPECT_EQ(Map(), (Rows{{"####", "F1", "1"}}));
  EXPECT_EQ(Items(), Rows{});
  EXPECT_EQ(db().Count("TELV_FUNCTION_DISPATCHED"), 1);
}

TEST_F(FunctionAdminTest, TheGroupMenuListsEveryPlacingByPlaceAcrossGroups) {
  AddGroup(kG1, "甲组");
  AddItem("I1", "病人一览", 2);
  AddFixed("F1", "病历书写", kG1);
  Place(kG1, "I1", 2);
  Place(kG2, "F1", 1);  // a group without a row
  Place(kG1, "F1", 3);
  using E = korvalis::testing::Element;
  const E item{"group_id",
               kG1,
               {{"dynamic_name", "病人一览"},
                {"fixed_name", ""},
                {"group_name", "甲组"},
                {"menu_id", "I1"},
                {"notes", ""},
                {"report_id", "R1"},
                {"template_id", "T1"},
                {"type", "2"}}};
  E fixed_in_g2{"group_id",
                kG2,
                {{"dynamic_name", ""},
                 {"fixed_name", "病历书写"},
                 {"group_name", ""},
                 {"menu_id", "F1"},
                 {"notes", "说明"},
                 {"report_id", ""},
                 {"template_id", ""},
                 {"type", ""}}};
  E fixed_in_g1 = fixed_in_g2;
  fixed_in_g1.text = kG1;
  fixed_in_g1.attributes["group_name"] = "甲组";
  EXPECT_EQ(korvalis::testing::ReadElements(List(CBFunctionAdmin::GetGroupMenu, u"<root/>")),
            (std::vector<E>{fixed_in_g2, item, fixed_in_g1}));
  EXPECT_EQ(korvalis::testing::ReadElements(
                List(CBFunctionAdmin::GetGroupMenu,
                     u"<root><group_id>" + FromUtf8(kG1) + u"</group_id></root>")),
            (std::vector<E>{item, fixed_in_g1}));
}

TEST_F(FunctionAdminTest, TheGroupMenuOrdersPlacingsOfOnePlaceByGroupAndItem) {
  AddGroup(kG1, "甲组");
  AddGroup(kG2, "乙组");
  for (const char* item : {"I3", "I1", "I2"}) AddItem(item, item);
  Place(kG2, "I1", 1);
  Place(kG1, "I3", 1);
  Place(kG1, "I1", 1);
  Place(kG1, "I2", 0);
  std::vector<std::string> order;
  for (const auto& e :
       korvalis::testing::ReadElements(List(CBFunctionAdmin::GetGroupMenu, u"<root/>"))) {
    order.push_back(e.attributes.at("group_name") + e.attributes.at("menu_id"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"甲组I2", "甲组I1", "甲组I3", "乙组I1"}));
}

TEST_F(FunctionAdminTest, ItemsAreListedOncePerGroupAndOnceWhenInNone) {
  AddGroup(kG1, "甲组");
  AddItem("I1", "O'Brien 一览", 2);
  AddItem("I2", "未分组", 1);
  Place(kG1, "I1", 1);
  Place(kG2, "I1", 2);
  auto rows = [](const std::u16string& condition) {
    Rows rows;
    for (const auto& e :
         korvalis::testing::ReadElements(List(CBFunctionAdmin::GetFunctionConfig, condition))) {
      rows.push_back({e.name, e.text, e.attributes.at("id"), e.attributes.at("group_id"),
                      e.attributes.at("group_name"), e.attributes.at("type")});
    }
    return rows;
  };
  EXPECT_EQ(rows(u"<root/>"), (Rows{{"item", "O'Brien 一览", "I1", kG1, "甲组", "2"},
                                    {"item", "O'Brien 一览", "I1", kG2, "", "2"},
                                    {"item", "未分组", "I2", "", "", "1"}}));
  EXPECT_EQ(rows(u"<root><name>O'Brien 一览</name><type>2</type><template_id>T1</template_id>"
                 u"<report_id>R1</report_id><group_id>" +
                 FromUtf8(kG2) + u"</group_id></root>"),
            (Rows{{"item", "O'Brien 一览", "I1", kG2, "", "2"}}));
  EXPECT_EQ(rows(u"<root><id>I2</id></root>"), (Rows{{"item", "未分组", "I2", "", "", "1"}}));
}

}  // namespace
}  // namespace korvalis::report::testing
