#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/codec/emr_encoder.h"
#include "foundation/data/single_data_source.h"
#include "report/testing/repository_test_util.h"

namespace korvalis::report::testing {
namespace {

constexpr char16_t kParseError[] = u"解析属性信息错误.";

// The Base64 of `bytes` as the system writes it.
std::u16string Base64(const std::string& bytes) {
  std::u16string text;
  CBase64Encoder().Encode(reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<ULONG>(bytes.size()), text);
  return text;
}

class ContentTest : public RepositoryTest {
 protected:
  std::u16string SaveStructure(const std::u16string& property) {
    std::u16string id;
    EXPECT_EQ(Failure(&CBRepository::SetVktStructure, property, &id), u"");
    return id;
  }
  std::u16string SetElement(const std::u16string& item_id, const std::u16string& xid,
                            const std::u16string& content) {
    return Failure(
        &CBRepository::SetVktElement,
        Document({{u"item_id", item_id}, {u"structure_xid", xid}, {u"content", content}}));
  }
  Elements ListedElements(const std::u16string& condition) {
    Elements elements = List(&CBRepository::GetVktElementList, condition);
    std::sort(elements.begin(), elements.end(), [](const Element& a, const Element& b) {
      return std::tie(a.attributes, a.text) < std::tie(b.attributes, b.text);
    });
    return elements;
  }
  static Element Stored(const std::string& item_id, const std::string& xid,
                        const std::u16string& base64) {
    return {"element", ToUtf8(base64), {{"item_id", item_id}, {"structure_xid", xid}}};
  }
  Rows Distribution() {
    return SortedRows("SELECT DEPT_CODE, CATALOG_ID, TEMPLATE_ID FROM VKT_DEPT_DISTRIBUTE");
  }
  void Distribute(const std::u16string& dept, const std::u16string& catalog,
                  const std::u16string& template_id) {
    Run(&CBRepository::AddVktDistriCatalog,
        Document({{u"dept_code", dept}, {u"catalog_id", catalog}, {u"template_id", template_id}}));
  }
};

TEST_P(ContentTest, AStructuresTextComesBackEscapedInItsItem) {
  const std::u16string content = u"<structure a=\"1\">R&D 定义 < 诊断</structure>";
  const std::u16string id =
      SaveStructure(Document({{u"name", u"O'Brien"}, {u"remark", u"备注"}, {u"content", content}}));
  EXPECT_EQ(id.size(), 36u);
  EXPECT_EQ(db_.QueryScalar("SELECT VAILD_FLAG FROM VKT_ITEM_STRUCTURE"), "1");

  const std::u16string answer =
      Answer(&CBRepository::GetVktStructure, u"<root><id>" + id + u"</id></root>");
  EXPECT_NE(
      answer.find(u">&lt;structure a=\"1\"&gt;R&amp;D 定义 &lt; 诊断&lt;/structure&gt;</item>"),
      std::u16string::npos)
      << ToUtf8(answer);
  EXPECT_EQ(
      ReadElements(answer),
      (Elements{
          {"item",
           ToUtf8(content),
           {{"id", ToUtf8(id)}, {"name", "O'Brien"}, {"remark", "备注"}, {"vaild_flag", "1"}}}}));

  // A rewrite keeps the identifier and replaces row and text; a text left out is no content.
  SaveStructure(Document({{u"id", id}, {u"name", u"新"}, {u"valid_flag", u"0"}}));
  EXPECT_EQ(db_.Count("VKT_ITEM_STRUCTURE"), 1);
  EXPECT_EQ(
      List(&CBRepository::GetVktStructure, u"<root/>"),
      (Elements{{"item",
                 "",
                 {{"id", ToUtf8(id)}, {"name", "新"}, {"remark", ""}, {"vaild_flag", "0"}}}}));
}

TEST_P(ContentTest, StructuresAreListedAllOrByTheirValidity) {
  SaveStructure(u"<root><id>S1</id><name>有效</name><content>x</content></root>");
  SaveStructure(u"<root><id>S2</id><name>停用</name><valid_flag>0</valid_flag></root>");
  EXPECT_EQ(List(&CBRepository::GetVktStructure, u"<root/>").size(), 2u);
  const Elements valid =
      List(&CBRepository::GetVktStructure, u"<root><vaild_flag>1</vaild_flag></root>");
  ASSERT_EQ(valid.size(), 1u);
  EXPECT_EQ(valid[0].text, "x");
  EXPECT_EQ(List(&CBRepository::GetVktStructure, u"<root><valid_flag>0</valid_flag></root>").size(),
            2u);
  Run(&CBRepository::DelVktStructure, u"");
  Run(&CBRepository::DelVktStructure, u"S1");
  EXPECT_EQ(SortedRows("SELECT ID FROM VKT_ITEM_STRUCTURE"), Rows{{"S2"}});
  EXPECT_EQ(Answer(&CBRepository::GetVktStructure, u"<root><id>S1</id></root>"),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");
}

TEST_P(ContentTest, ElementBytesComeBackAsTheSameBase64) {
  std::string long_bytes;
  for (int i = 0; i < 200; ++i) long_bytes.push_back(static_cast<char>(i * 7));
  const std::vector<std::string> contents = {std::string(1, '\0'),
                                             std::string(3, '\0'),
                                             "ab",
                                             "abc",
                                             "\xFF\xFE",
                                             std::string("\xFF\xFE\0\x01", 4),
                                             long_bytes};
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const std::u16string item = u"I" + FromUtf8(std::to_string(i));
    ASSERT_EQ(SetElement(item, u"part", Base64(contents[i])), u"");
    EXPECT_EQ(ListedElements(u"<root><item_id>" + item + u"</item_id></root>"),
              Elements{Stored(ToUtf8(item), "part", Base64(contents[i]))})
        << i;
  }
  // An empty content is stored as none and comes back as an element without text.
  ASSERT_EQ(SetElement(u"I0", u"part", u""), u"");
  EXPECT_EQ(db_.Count("VKT_ELEMENT", "ITEM_ID = 'I0'"), 1);
  EXPECT_EQ(
      ListedElements(u"<root><item_id>I0</item_id><structure_xid>part</structure_xid></root>"),
      Elements{Stored("I0", "part", u"")});
  EXPECT_EQ(ListedElements(u"<root><structure_xid>part</structure_xid></root>").size(),
            contents.size());
}

TEST_P(ContentTest, ContentThatIsNotBase64IsRefusedWithNothingStored) {
  ASSERT_EQ(SetElement(u"I1", u"part", Base64("old")), u"");
  for (const char16_t* bad : {u"@@@@", u"YWJj=", u"内容", u"YW Jj?"}) {
    EXPECT_EQ(SetElement(u"I1", u"part", bad), u"Base64执行解码错误") << ToUtf8(bad);
    EXPECT_EQ(SetElement(u"I2", u"part", bad), u"Base64执行解码错误") << ToUtf8(bad);
  }
  EXPECT_EQ(ListedElements(u"<root><structure_xid>part</structure_xid></root>"),
            Elements{Stored("I1", "part", Base64("old"))});
}

TEST_P(ContentTest, ElementsNeedTheirItemAndListOnlyUnderACondition) {
  // Without a part (or an item) nothing is written, and the call succeeds.
  EXPECT_EQ(SetElement(u"I1", u"", Base64("x")), u"");
  EXPECT_EQ(SetElement(u"", u"part", Base64("x")), u"");
  EXPECT_EQ(db_.Count("VKT_ELEMENT"), 0);

  for (const char16_t* item : {u"I1", u"I2", u"O'Brien"}) {
    for (const char16_t* xid : {u"a", u"b"}) {
      ASSERT_EQ(SetElement(item, xid, Base64(ToUtf8(item) + ToUtf8(xid))), u"");
    }
  }
  ASSERT_EQ(SetElement(u"I1", u"a", Base64("new")), u"");
  EXPECT_EQ(db_.Count("VKT_ELEMENT"), 6);
  EXPECT_EQ(ListedElements(u"<root><structure_xid>a</structure_xid></root>"),
            (Elements{Stored("I1", "a", Base64("new")), Stored("I2", "a", Base64("I2a")),
                      Stored("O'Brien", "a", Base64("O'Briena"))}));
  EXPECT_EQ(ListedElements(u"<root><item_id>O'Brien</item_id></root>").size(), 2u);

  // Neither value: a null string.
  com::ScopedBstr condition(u"<root><other>1</other></root>"), answer;
  EXPECT_EQ(korvalis::testing::RunAsCall(database_,
                                         [&](CEMRDataSource* data_source) {
                                           CBRepository::GetVktElementList(
                                               data_source, condition.get(), answer.out());
                                         }),
            u"");
  EXPECT_EQ(answer.get(), nullptr);

  // A part alone deletes nothing; an item its parts, or the one named.
  Run(&CBRepository::DelVktElement, u"<root><structure_xid>a</structure_xid></root>");
  EXPECT_EQ(db_.Count("VKT_ELEMENT"), 6);
  Run(&CBRepository::DelVktElement,
      u"<root><item_id>I1</item_id><structure_xid>a</structure_xid></root>");
  Run(&CBRepository::DelVktElement, u"<root><item_id>O'Brien</item_id></root>");
  EXPECT_EQ(SortedRows("SELECT ITEM_ID, STRUCTURE_XID FROM VKT_ELEMENT"),
            (Rows{{"I1", "b"}, {"I2", "a"}, {"I2", "b"}}));
}

TEST_P(ContentTest, DistributionsFollowTheirDeletionKeys) {
  Distribute(u"D", u"K", u"T");
  Distribute(u"D", u"K", u"T");
  Distribute(u"D", u"K2", u"T2");
  Distribute(u"E", u"K", u"T");
  Distribute(u"O'Brien", u"K'", u"T'");
  // An empty department never matches the delete: added each time.
  Distribute(u"", u"K", u"T");
  Distribute(u"", u"K", u"T");
  EXPECT_EQ(Distribution(), (Rows{{"", "K", "T"},
                                  {"", "K", "T"},
                                  {"D", "K", "T"},
                                  {"D", "K2", "T2"},
                                  {"E", "K", "T"},
                                  {"O'Brien", "K'", "T'"}}));
  EXPECT_EQ(List(&CBRepository::GetVktDistriCatalog,
                 u"<root><dept_code>D</dept_code><template_id>T2</template_id></root>"),
            (Elements{{"catalog_id", "K2", {{"dept_code", "D"}, {"template_id", "T2"}}}}));
  EXPECT_EQ(
      List(&CBRepository::GetVktDistriCatalog, u"<root><template_id>T</template_id></root>").size(),
      4u);

  // No key: nothing; a department with a catalogue: all of the department's rows.
  Run(&CBRepository::DelVktDistriCatalog, u"<root/>");
  EXPECT_EQ(Distribution().size(), 6u);
  Run(&CBRepository::DelVktDistriCatalog,
      u"<root><dept_code>D</dept_code><catalog_id>K</catalog_id></root>");
  EXPECT_EQ(Distribution(),
            (Rows{{"", "K", "T"}, {"", "K", "T"}, {"E", "K", "T"}, {"O'Brien", "K'", "T'"}}));
  // The template before the department: every department's rows of the template.
  Run(&CBRepository::DelVktDistriCatalog,
      u"<root><dept_code>O'Brien</dept_code><template_id>T</template_id></root>");
  EXPECT_EQ(Distribution(), (Rows{{"O'Brien", "K'", "T'"}}));
  Run(&CBRepository::DelVktDistriCatalog, u"<root><catalog_id>K'</catalog_id></root>");
  EXPECT_EQ(Distribution(), Rows{});
}

TEST_P(ContentTest, AConfigurationIsReplacedAndListedAlone) {
  std::u16string made;
  ASSERT_EQ(Failure(&CBRepository::SetVktRfConfig,
                    u"<root><template_name>新</template_name></root>", &made),
            u"");
  EXPECT_EQ(made.size(), 36u);
  ASSERT_EQ(Failure(&CBRepository::SetVktRfConfig,
                    u"<root><template_id>T'1</template_id><template_name>一</template_name>"
                    u"<group>G</group><xid>X</xid><valid>1</valid></root>"),
            u"");
  std::u16string replaced;
  ASSERT_EQ(Failure(&CBRepository::SetVktRfConfig,
                    u"<root><template_id>T'1</template_id><template_name>O'Brien</template_name>"
                    u"<valid>0</valid></root>",
                    &replaced),
            u"");
  EXPECT_EQ(replaced, u"T'1");
  EXPECT_EQ(
      List(&CBRepository::GetVktRfConfig, u"<root><template_id>T'1</template_id></root>"),
      (Elements{{"template_id",
                 "T'1",
                 {{"template_name", "O'Brien"}, {"group", ""}, {"xid", ""}, {"valid", "0"}}}}));
  EXPECT_EQ(List(&CBRepository::GetVktRfConfig, u"<root/>").size(), 2u);

  Run(&CBRepository::DelVktRfConfig, u"<root/>");
  EXPECT_EQ(db_.Count("VKT_REFERENCE_CONFIGURE"), 2);
  Run(&CBRepository::DelVktRfConfig, u"<root><template_id>T'1</template_id></root>");
  EXPECT_EQ(SortedRows("SELECT TEMPLATE_ID FROM VKT_REFERENCE_CONFIGURE"), Rows{{ToUtf8(made)}});
}

TEST_P(ContentTest, ADocumentThatDoesNotParseFailsBeforeAnyStatement) {
  database_ = korvalis::testing::kUnreachableDatabase;
  for (const char16_t* bad : {u"<root><id>", u"<a></b>"}) {
    for (Query body : {&CBRepository::SetVktStructure, &CBRepository::GetVktStructure,
                       &CBRepository::GetVktElementList, &CBRepository::GetVktDistriCatalog,
                       &CBRepository::GetVktRfConfig, &CBRepository::SetVktRfConfig}) {
      EXPECT_EQ(Failure(body, bad), kParseError) << ToUtf8(bad);
    }
    for (Command body : {&CBRepository::SetVktElement, &CBRepository::DelVktElement,
                         &CBRepository::AddVktDistriCatalog, &CBRepository::DelVktDistriCatalog,
                         &CBRepository::DelVktRfConfig}) {
      EXPECT_EQ(Failure(body, bad), kParseError) << ToUtf8(bad);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ContentTest, db::testing::kBothEngines, db::testing::EngineName);

// A call is one unit: a statement that fails after the rewrite's delete, or a content that
// cannot be written after its row, leaves the database as it was. The failures are made by
// triggers of the embedded database.
class AtomicCallTest : public ContentTest {
 protected:
  void AddTrigger(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_.path().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
};

TEST_P(AtomicCallTest, AFailedInsertKeepsTheOldRowAndAFailedContentLeavesNoRow) {
  ASSERT_EQ(Failure(&CBRepository::SetVktCatalog, u"<root><id>K1</id><name>旧</name></root>"), u"");
  AddTrigger(
      "CREATE TRIGGER REFUSE_NAME BEFORE INSERT ON VKT_CATALOG WHEN NEW.NAME = 'refused' "
      "BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_EQ(Failure(&CBRepository::SetVktCatalog, u"<root><id>K1</id><name>refused</name></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(db_.Query("SELECT ID, NAME FROM VKT_CATALOG"), (Rows{{"K1", "旧"}}));

  AddTrigger(
      "CREATE TRIGGER REFUSE_CONTENT BEFORE UPDATE OF CONTENT ON VKT_ITEM_STRUCTURE "
      "BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_NE(
      Failure(&CBRepository::SetVktStructure, u"<root><name>新</name><content>x</content></root>"),
      u"");
  EXPECT_EQ(db_.Count("VKT_ITEM_STRUCTURE"), 0);
  AddTrigger(
      "CREATE TRIGGER REFUSE_ELEMENT BEFORE UPDATE OF CONTENT ON VKT_ELEMENT "
      "BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_NE(SetElement(u"I1", u"part", Base64("x")), u"");
  EXPECT_EQ(db_.Count("VKT_ELEMENT"), 0);
}

INSTANTIATE_TEST_SUITE_P(Embedded, AtomicCallTest, ::testing::Values(db::Engine::kSqlite),
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::report::testing
