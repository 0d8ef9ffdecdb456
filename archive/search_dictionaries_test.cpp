#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "db/testing/test_database.h"
#include "foundation/calls/call_scope.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::archive {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::ReadElements;
using korvalis::testing::TestDataSource;
using schema::TestDatabase;
using Rows = std::vector<std::vector<std::string>>;
using List = std::vector<Element>;

class SearchDictionaryTest : public ::testing::Test {
 protected:
  // Runs a writing body as one call: committed when it returns, rolled back when it throws.
  // Answers the failure's message, "" on success.
  template <class Body>
  std::u16string Call(Body body) {
    return FailureOf([&] {
      CCallScope scope(CCallScope::Mode::kWriting);
      {
        TestDataSource data_source(db_.init_string());
        body(&data_source);
      }
      scope.Commit();
    });
  }
  std::u16string Save(long (*save)(CEMRDataSource*, BSTR), const std::u16string& list) {
    ScopedBstr text(list);
    return Call([&](CEMRDataSource* source) { save(source, text.get()); });
  }
  // A list as a reading call hands it out.
  std::u16string ReadText(long (*read)(CEMRDataSource*, BSTR*)) {
    ScopedBstr list;
    TestDataSource data_source(db_.init_string());
    read(&data_source, list.out());
    return list.text();
  }
  List Read(long (*read)(CEMRDataSource*, BSTR*)) { return ReadElements(ReadText(read)); }

  LONG SaveFrame(LONG id, const std::u16string& property) {
    ScopedBstr text(property);
    LONG new_id = -1;
    EXPECT_EQ(Call([&](CEMRDataSource* source) {
                CBEMRLibrary::SaveXmlFrameProperty(source, id, text.get(), &new_id);
              }),
              u"");
    return new_id;
  }
  std::u16string FrameContent(LONG id) {
    ScopedBstr content;
    TestDataSource data_source(db_.init_string());
    CBEMRLibrary::GetXmlFrameContent(&data_source, id, content.out());
    return content.text();
  }
  List FrameProperty(LONG id) {
    ScopedBstr property;
    TestDataSource data_source(db_.init_string());
    CBEMRLibrary::GetXmlFrameProperty(&data_source, id, property.out());
    return ReadElements(property.text());
  }

  TestDatabase db_;
};

TEST_F(SearchDictionaryTest, ConditionsAreRewrittenAndNumberedFromZero) {
  EXPECT_EQ(Save(&CBEMRLibrary::SaveConditionList,
                 u"<root><group><cdt field=\"B.NAME\" type=\"STRING\" dict=\"\" notes=\"n'1\">"
                 u"病人姓名</cdt></group><cdt field=\"B.IN_TIME\" type=\"DATE\">入院时间</cdt>"
                 u"<cdt field=\"A.CATALOG_ID\" type=\"NUMBER\" dict=\"catalog\">类别</cdt></root>"),
            u"");
  EXPECT_EQ(db_.Query("SELECT ID, NAME, TYPE, DICT, TABLE_FIELD, STATUS, NOTES FROM "
                      "MOLB_SEARCHES_CONDITION ORDER BY ID"),
            (Rows{{"0", "病人姓名", "STRING", "", "B.NAME", "1", "n'1"},
                  {"1", "入院时间", "DATE", "", "B.IN_TIME", "1", ""},
                  {"2", "类别", "NUMBER", "catalog", "A.CATALOG_ID", "1", ""}}));
  // The list read back is accepted unchanged and gives the same list.
  const List conditions = Read(&CBEMRLibrary::GetConditionList);
  ASSERT_EQ(conditions.size(), 3u);
  EXPECT_EQ(conditions[0],
            (Element{"cdt",
                     "病人姓名",
                     {{"field", "B.NAME"}, {"type", "STRING"}, {"dict", ""}, {"notes", "n'1"}}}));
  EXPECT_EQ(Save(&CBEMRLibrary::SaveConditionList, ReadText(&CBEMRLibrary::GetConditionList)), u"");
  EXPECT_EQ(Read(&CBEMRLibrary::GetConditionList), conditions);
}

TEST_F(SearchDictionaryTest, AnEmptyListEmptiesTheDictionary) {
  ASSERT_GT(db_.Count("MOLB_SEARCHES_CONDITION"), 0);  // the installation's conditions
  ASSERT_GT(db_.Count("MOLB_OPERATOR_DICT"), 0);
  EXPECT_EQ(Save(&CBEMRLibrary::SaveConditionList, u"<root/>"), u"");
  EXPECT_EQ(Save(&CBEMRLibrary::SaveOperatorList, u"<root></root>"), u"");
  EXPECT_EQ(db_.Count("MOLB_SEARCHES_CONDITION"), 0);
  EXPECT_EQ(db_.Count("MOLB_OPERATOR_DICT"), 0);
  EXPECT_EQ(Read(&CBEMRLibrary::GetConditionList), List{});
}

TEST_F(SearchDictionaryTest, OperatorsArePerDataType) {
  EXPECT_EQ(Save(&CBEMRLibrary::SaveOperatorList,
                 u"<root><oper type=\"DATE\" name=\"早于\">lt</oper><oper type=\"DATE\" "
                 u"name=\"晚于\">gt</oper><oper type=\"STRING\" name=\"包含\">$</oper>"
                 u"<oper type=\"it's\" name=\"q\">=</oper></root>"),
            u"");
  const auto operators = [&](const std::u16string& type) {
    ScopedBstr t(type), list;
    TestDataSource data_source(db_.init_string());
    CBEMRLibrary::GetOperatorList(&data_source, t.get(), list.out());
    return ReadElements(list.text());
  };
  EXPECT_EQ(operators(u"DATE"),
            (List{{"oper", "lt", {{"name", "早于"}}}, {"oper", "gt", {{"name", "晚于"}}}}));
  EXPECT_EQ(operators(u"it's"), (List{{"oper", "=", {{"name", "q"}}}}));
  EXPECT_EQ(operators(u"NUMBER"), List{});
}

TEST_F(SearchDictionaryTest, AUserListReadAndSavedBackIsUnchanged) {
  db_.Execute("DELETE FROM MOLB_USER");
  db_.Execute(
      "INSERT INTO MOLB_USER (ID, CODE, NAME, PASSWORD, PRIVILEGE) VALUES (7, 'a''b', "
      "'甲', 'secret', 3)");
  db_.Execute(
      "INSERT INTO MOLB_USER (ID, CODE, NAME, PASSWORD, PRIVILEGE) VALUES (9, 'c', '乙', "
      "NULL, 1)");
  const List users = Read(&CBEMRLibrary::GetUserList);
  EXPECT_EQ(users[0], (Element{"user", "甲", {{"code", "a'b"}, {"pwd", "secret"}, {"prv", "3"}}}));
  EXPECT_EQ(Save(&CBEMRLibrary::SaveUserList, ReadText(&CBEMRLibrary::GetUserList)), u"");
  EXPECT_EQ(Read(&CBEMRLibrary::GetUserList), users);
  // Numbered anew from 0, in the order read.
  EXPECT_EQ(db_.Query("SELECT ID, CODE FROM MOLB_USER ORDER BY ID"),
            (Rows{{"0", "a'b"}, {"1", "c"}}));
}

TEST_F(SearchDictionaryTest, AFailedUserListLeavesTheOldUsers) {
  const Rows before = db_.Query("SELECT ID, CODE, NAME, PASSWORD, PRIVILEGE FROM MOLB_USER");
  // Without `prv`, or with one that is no number: refused before anything is deleted.
  EXPECT_EQ(Save(&CBEMRLibrary::SaveUserList,
                 u"<root><user code=\"n\" prv=\"1\">新</user><user code=\"m\">缺</user></root>"),
            u"不是有效的数字: '' (prv)");
  EXPECT_EQ(Save(&CBEMRLibrary::SaveUserList,
                 u"<root><user code=\"n\" prv=\"1) OR (1\">新</user></root>"),
            u"不是有效的数字: '1) OR (1' (prv)");
  EXPECT_EQ(db_.Query("SELECT ID, CODE, NAME, PASSWORD, PRIVILEGE FROM MOLB_USER"), before);
  // A privilege the column cannot hold fails in the database, after the deletion and the first
  // insert: the call is rolled back whole.
  EXPECT_EQ(Save(&CBEMRLibrary::SaveUserList,
                 u"<root><user code=\"n\" prv=\"1\">新</user><user code=\"m\" prv=\"99999\">大"
                 u"</user></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(db_.Query("SELECT ID, CODE, NAME, PASSWORD, PRIVILEGE FROM MOLB_USER"), before);
  EXPECT_EQ(Save(&CBEMRLibrary::SaveUserList, u"<root><user>"), u"无效XML!");
  EXPECT_EQ(db_.Query("SELECT ID, CODE, NAME, PASSWORD, PRIVILEGE FROM MOLB_USER"), before);
}

TEST_F(SearchDictionaryTest, NewFramesCountDeletedOnes) {
  const std::u16string property =
      u"<root><pro catalog=\"入院记录\" catalogid=\"2\" notes=\"主诉\">入院'检索</pro></root>";
  EXPECT_EQ(SaveFrame(0, property), 1);
  for (LONG expected = 2; expected <= 4; ++expected) EXPECT_EQ(SaveFrame(0, property), expected);
  EXPECT_EQ(Call([](CEMRDataSource* source) { CBEMRLibrary::DeleteXmlFrame(source, 4); }), u"");
  EXPECT_EQ(SaveFrame(0, property), 5);
  EXPECT_EQ(db_.Query("SELECT ID, NAME, CATALOG, CATALOG_ID, NOTES, STATUS FROM "
                      "MOLB_SEARCHES_XML_FRAME WHERE ID = 5"),
            (Rows{{"5", "入院'检索", "入院记录", "2", "主诉", "1"}}));
  // The lists show the live frames only.
  const List frames = Read(&CBEMRLibrary::GetXmlFrameList);
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(
      frames.back(),
      (Element{"frame",
               "入院'检索",
               {{"id", "5"}, {"catalog", "入院记录"}, {"notes", "主诉"}, {"catalogid", "2"}}}));
  EXPECT_EQ(FrameProperty(5), List{frames.back()});
  EXPECT_EQ(FrameProperty(4), List{});
  EXPECT_EQ(FrameProperty(99), List{});
}

TEST_F(SearchDictionaryTest, EditingAFrameKeepsItsStatus) {
  ASSERT_EQ(SaveFrame(0, u"<pro>a</pro>"), 1);
  EXPECT_EQ(Call([](CEMRDataSource* source) { CBEMRLibrary::DeleteXmlFrame(source, 1); }), u"");
  EXPECT_EQ(SaveFrame(1,
                      u"<root><x><pro catalog=\"c\" catalogid=\"10\" notes=\"\">b</pro></x>"
                      u"<pro>ignored</pro></root>"),
            1);
  EXPECT_EQ(db_.Query("SELECT NAME, CATALOG, CATALOG_ID, STATUS FROM MOLB_SEARCHES_XML_FRAME"),
            (Rows{{"b", "c", "10", "0"}}));
  // An ID without a row changes nothing and is handed back.
  EXPECT_EQ(SaveFrame(42, u"<pro>c</pro>"), 42);
  EXPECT_EQ(db_.Count("MOLB_SEARCHES_XML_FRAME"), 1);
}

TEST_F(SearchDictionaryTest, FramePropertiesMustBeWellFormedAndHoldPro) {
  TestDataSource unreachable(kUnreachableDatabase);
  for (const char16_t* property : {u"<root><pro>", u"<root><property/></root>", u""}) {
    ScopedBstr text(property);
    LONG id = -1;
    EXPECT_EQ(
        FailureOf([&] { CBEMRLibrary::SaveXmlFrameProperty(&unreachable, 0, text.get(), &id); }),
        u"无效XML!");
    EXPECT_EQ(id, -1);
  }
}

TEST_F(SearchDictionaryTest, FrameContentIsStoredAsTextAndReadWhateverTheStatus) {
  ASSERT_EQ(SaveFrame(0, u"<pro>a</pro>"), 1);
  const std::u16string xml = u"<frame><item name=\"诊断\"/></frame>";
  ScopedBstr content(xml);
  EXPECT_EQ(Call([&](CEMRDataSource* source) {
              CBEMRLibrary::SaveXmlFrameContent(source, 1, content.get());
            }),
            u"");
  // UTF-16LE behind a byte-order mark, without codecs.
  EXPECT_EQ(db_.QueryScalar("SELECT XML FROM MOLB_SEARCHES_XML_FRAME WHERE ID = 1").substr(0, 4),
            std::string("\xFF\xFE<\0", 4));
  EXPECT_EQ(FrameContent(1), xml);
  EXPECT_EQ(Call([](CEMRDataSource* source) { CBEMRLibrary::DeleteXmlFrame(source, 1); }), u"");
  EXPECT_EQ(FrameContent(1), xml);
  // A frame without XML reads as the empty text; one without a row fails as the data source
  // reports a statement that finds no row.
  ASSERT_EQ(SaveFrame(0, u"<pro>b</pro>"), 2);
  EXPECT_EQ(FrameContent(2), u"");
  EXPECT_EQ(FailureOf([&] { FrameContent(3); }), kDatabaseErrorMessage);
  EXPECT_EQ(Call([&](CEMRDataSource* source) {
              CBEMRLibrary::SaveXmlFrameContent(source, 3, content.get());
            }),
            kDatabaseErrorMessage);
}

}  // namespace
}  // namespace korvalis::archive
