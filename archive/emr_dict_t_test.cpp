#include "archive/emr_dict_t.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "db/testing/temp_directory.h"
#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace {

using korvalis::FromUtf8;
using korvalis::ToUtf8;
using korvalis::com::ScopedBstr;
using korvalis::datasource::testing::EventLogCapture;
using korvalis::schema::SqlText;
using korvalis::schema::TestDatabase;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using korvalis::testing::RunAsCall;
using korvalis::testing::TempDirectory;

constexpr char16_t kParseError[] = u"解析属性信息错误.";
constexpr char16_t kHisConfigError[] = u"获取数据库配置信息错误. 配置文件: telv.config.xml";

// A dictionary table with codes and names of two kinds.
void AddDictTable(TestDatabase& db, const std::string& table,
                  const std::vector<std::vector<std::string>>& rows) {
  db.Execute("CREATE TABLE " + table + " (CODE VARCHAR2(20), NAME VARCHAR2(40), KIND VARCHAR2(1))");
  for (const auto& row : rows) {
    db.Execute("INSERT INTO " + table + " (CODE, NAME, KIND) VALUES (" + SqlText(row[0]) + ", " +
               SqlText(row[1]) + ", " + SqlText(row[2]) + ")");
  }
}

// A definition reading CODE and NAME of `table` from `source`, with `filter`.
std::string Definition(const std::string& source, const std::string& table,
                       const std::string& filter = "", const std::string& didu_table = "") {
  return "<dict><table source=\"" + source + "\" name=\"" + table + "\" didu_name=\"" + didu_table +
         "\" filter=\"" + filter + "\"/><column field=\"CODE\"/><column field=\"NAME\"/></dict>";
}

// The items of every `items` child of the document element, in document order.
std::vector<std::vector<Element>> ItemLists(const std::u16string& xml) {
  if (xml.empty()) return {};  // no list was answered
  korvalis::xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(xml))) << ToUtf8(xml);
  std::vector<std::vector<Element>> lists;
  if (!document.HasDocumentElement()) return lists;
  for (const korvalis::xml::Node& items : document.DocumentElement().Children()) {
    if (items.Name() != "items") continue;
    std::vector<Element>& list = lists.emplace_back();
    for (const korvalis::xml::Node& item : items.Children()) {
      const auto attributes = item.Attributes();
      list.push_back({item.Name(), item.Text(), {attributes.begin(), attributes.end()}});
    }
  }
  return lists;
}

Element Item(std::string code, std::string name) {
  return {"item", "", {{"CODE", std::move(code)}, {"NAME", std::move(name)}}};
}

class DictTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddDictTable(db_, "DICT_X",
                 {{"A1", "甲", "1"}, {"A2", "乙", "1"}, {"A3", "丙", "1"}, {"B1", "丁", "2"}});
  }

  void AddDict(const std::string& name, const std::string& remark,
               const std::optional<std::string>& xml) {
    db_.Execute("INSERT INTO TELV_DICT_SOURCE (NAME, REMARK, XML) VALUES (" + SqlText(name) + ", " +
                SqlText(remark) + ", " + korvalis::schema::SqlTextOrNull(xml) + ")");
  }

  // Runs `body(data source)` as one call; its failure's message, "" on success.
  template <class Body>
  std::u16string Call(Body&& body) {
    return RunAsCall(db_.init_string(), std::forward<Body>(body));
  }

  // A method with one text argument and no result; its failure's message.
  std::u16string Run(long (*method)(CEMRDataSource*, BSTR), const std::u16string& argument) {
    ScopedBstr text(argument);
    return Call([&](CEMRDataSource* ds) { method(ds, text.get()); });
  }

  // A method with one text argument and a text result; its failure's message in *failure
  // (expected to succeed without one). The result is null when none was stored.
  std::optional<std::u16string> Answer(long (*method)(CEMRDataSource*, BSTR, BSTR*),
                                       const std::u16string& argument,
                                       std::u16string* failure = nullptr) {
    ScopedBstr text(argument), result;
    const std::u16string message =
        Call([&](CEMRDataSource* ds) { method(ds, text.get(), result.out()); });
    if (failure != nullptr) {
      *failure = message;
    } else {
      EXPECT_EQ(message, u"");
    }
    if (result.get() == nullptr) return std::nullopt;
    return result.text();
  }

  std::u16string DataList(const std::string& name, std::u16string* failure = nullptr) {
    return Answer(&CBEMRDictT::GetDataList, FromUtf8(name), failure).value_or(u"");
  }

  TestDatabase db_;
};

TEST_F(DictTest, AnUnknownNameHasNoPropertiesAndNoContent) {
  std::u16string failure;
  const auto properties = Answer(&CBEMRDictT::GetDictByDictName, u"无此字典");
  ASSERT_TRUE(properties);
  EXPECT_TRUE(ReadElements(*properties).empty());
  EXPECT_EQ(Answer(&CBEMRDictT::GetDictContent, u"无此字典", &failure), u"");
  EXPECT_EQ(failure, kNoSuchDictMessage);
  DataList("无此字典", &failure);
  EXPECT_EQ(failure, kNoSuchDictMessage);
}

TEST_F(DictTest, ADictionaryWithoutDefinitionHasAnEmptyContentAndNoData) {
  AddDict("空", "没有定义", std::nullopt);
  EXPECT_EQ(Answer(&CBEMRDictT::GetDictContent, u"空"), u"");
  std::u16string failure;
  DataList("空", &failure);
  EXPECT_EQ(failure, kBadDictDefinitionMessage);
}

TEST_F(DictTest, TheRowsOfTheDefinitionAreAppendedAsItems) {
  // Upper-case "HIS" is no HIS source: the own database answers (this test configures no HIS).
  AddDict("三行", "", Definition("HIS", "DICT_X", "KIND='1'"));
  const std::u16string list = DataList("三行");
  EXPECT_EQ(
      ItemLists(list),
      (std::vector<std::vector<Element>>{{Item("A1", "甲"), Item("A2", "乙"), Item("A3", "丙")}}));
  // The definition stays as it was, the items follow it as the last child.
  EXPECT_NE(list.find(u"<column field=\"NAME\"/><items><item "), std::u16string::npos);
  EXPECT_NE(list.find(u"</items></dict>"), std::u16string::npos);

  AddDict("无行", "", Definition("", "DICT_X", "KIND='9'"));
  EXPECT_EQ(ItemLists(DataList("无行")), (std::vector<std::vector<Element>>{{}}));

  // The attributes come in name order, whatever the order of the columns; a value that XML
  // cannot carry is written as U+FFFD instead of failing the list.
  db_.Execute("INSERT INTO DICT_X (CODE, NAME, KIND) VALUES ('C1', 'x' || CHR(1) || 'y', '3')");
  AddDict("倒序", "",
          "<dict><column field=\"NAME\"/><sub><table name=\"DICT_X\" filter=\"KIND='3'\"/>"
          "</sub><column field=\"CODE\"/></dict>");
  EXPECT_NE(DataList("倒序").find(u"<items><item CODE=\"C1\" NAME=\"x\uFFFDy\"/></items>"),
            std::u16string::npos);
}

TEST_F(DictTest, ADefinitionWithItemsGetsASecondItemsElement) {
  AddDict("已有", "",
          "<dict><table name=\"DICT_X\" filter=\"CODE='A2'\"/><column field=\"CODE\"/>"
          "<column field=\"NAME\"/><items><item CODE=\"old\"/></items><note>保留</note></dict>");
  const std::u16string list = DataList("已有");
  EXPECT_EQ(ItemLists(list), (std::vector<std::vector<Element>>{{{"item", "", {{"CODE", "old"}}}},
                                                                {Item("A2", "乙")}}));
  EXPECT_NE(list.find(u"<note>保留</note><items>"), std::u16string::npos);
}

TEST_F(DictTest, TheFilterIsAppendedAsWritten) {
  AddDict("全部", "", Definition("", "DICT_X", "1=1"));
  EXPECT_EQ(ItemLists(DataList("全部"))[0].size(), 4u);
  // The statement as it runs, seen in the event log of a table that does not exist.
  EventLogCapture log;
  AddDict("无表", "", Definition("", "NO_SUCH_TABLE", "1=1"));
  std::u16string failure;
  DataList("无表", &failure);
  EXPECT_EQ(failure, kDatabaseErrorMessage);
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find(u" SELECT  CODE, NAME FROM NO_SUCH_TABLE  WHERE 1=1 AND 1=1  "),
            std::u16string::npos)
      << ToUtf8(records[0].text);
}

TEST_F(DictTest, DefinitionsThatCannotRunAreRefusedBeforeAnyStatement) {
  EventLogCapture log;
  const std::string table = "<table name=\"DICT_X\"/>";
  const std::string column = "<column field=\"CODE\"/>";
  for (const std::string& definition : {
           std::string("<dict>") + table + column,      // not well-formed
           std::string("<dict>") + column + "</dict>",  // no table
           std::string("<table name=\"DICT_X\"/>"),     // the table is no descendant
           "<dict>" + table + "<column field=\"NVL(A,'x')\"/></dict>",
           "<dict>" + table + "<column field=\"\"/></dict>",
           "<dict>" + table + "<column/></dict>",
       }) {
    SCOPED_TRACE(definition);
    db_.Execute("DELETE FROM TELV_DICT_SOURCE");
    AddDict("坏", "", definition);
    std::u16string failure;
    DataList("坏", &failure);
    EXPECT_EQ(failure, kBadDictDefinitionMessage);
  }
  // An empty definition is stored as NULL and refused alike.
  db_.Execute("DELETE FROM TELV_DICT_SOURCE");
  AddDict("坏", "", "");
  std::u16string failure;
  DataList("坏", &failure);
  EXPECT_EQ(failure, kBadDictDefinitionMessage);
  EXPECT_TRUE(log.Records().empty());
}

TEST_F(DictTest, DictionariesAreAddedListedAndDeleted) {
  EXPECT_EQ(
      Run(&CBEMRDictT::NewDict, u"<root><name>O'Brien的字典</name><remark>it's</remark></root>"),
      u"");
  EXPECT_EQ(Run(&CBEMRDictT::NewDict, u"<root><name>科室</name></root>"), u"");
  ScopedBstr list;
  EXPECT_EQ(Call([&](CEMRDataSource* ds) { CBEMRDictT::GetDictList(ds, list.out()); }), u"");
  EXPECT_EQ(ReadElements(list.text()),
            (std::vector<Element>{{"dict", "O'Brien的字典", {{"remark", "it's"}}},
                                  {"dict", "科室", {{"remark", ""}}}}));
  EXPECT_EQ(ReadElements(*Answer(&CBEMRDictT::GetDictByDictName, u"O'Brien的字典")),
            (std::vector<Element>{{"dict", "O'Brien的字典", {{"remark", "it's"}}}}));
  // No definition is written.
  EXPECT_EQ(db_.Count("TELV_DICT_SOURCE", "XML IS NULL"), 2);

  // The name is the key: an empty one or one already present is refused and nothing is stored.
  EXPECT_EQ(Run(&CBEMRDictT::NewDict, u"<root><name>科室</name><remark>又一个</remark></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(Run(&CBEMRDictT::NewDict, u"<root><remark>无名</remark></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(Run(&CBEMRDictT::NewDict, u"<root><name>未闭合</name>"), kParseError);
  EXPECT_EQ(db_.Count("TELV_DICT_SOURCE"), 2);

  EXPECT_EQ(Run(&CBEMRDictT::DeleteDictByName, u"O'Brien的字典"), u"");
  EXPECT_EQ(db_.QueryScalar("SELECT NAME FROM TELV_DICT_SOURCE"), "科室");
}

TEST_F(DictTest, ADefinitionWithQuotesIsStoredAndRun) {
  AddDict("引号", "", std::nullopt);
  const std::u16string definition = FromUtf8(Definition("", "DICT_X", "KIND='2'"));
  ScopedBstr name(u"引号"), content(definition);
  EXPECT_EQ(
      Call([&](CEMRDataSource* ds) { CBEMRDictT::SetDictContent(ds, name.get(), content.get()); }),
      u"");
  EXPECT_EQ(Answer(&CBEMRDictT::GetDictContent, u"引号"), definition);
  EXPECT_EQ(ItemLists(DataList("引号")), (std::vector<std::vector<Element>>{{Item("B1", "丁")}}));
  // A name without a row changes nothing.
  ScopedBstr missing(u"无此字典");
  EXPECT_EQ(Call([&](CEMRDataSource* ds) {
              CBEMRDictT::SetDictContent(ds, missing.get(), content.get());
            }),
            u"");
  EXPECT_EQ(db_.Count("TELV_DICT_SOURCE"), 1);
}

TEST_F(DictTest, ARenameNeedsTheNewNameAndARemark) {
  AddDict("旧名", "旧说明", Definition("", "DICT_X"));
  AddDict("其他", "", std::nullopt);
  for (const char16_t* incomplete : {
           u"<root><original_name>旧名</original_name><new_name>新名</new_name></root>",
           u"<root><original_name>旧名</original_name><remark>说明</remark></root>",
           u"<root><new_name>新名</new_name><remark>说明</remark></root>",
       }) {
    EXPECT_EQ(Run(&CBEMRDictT::SetDictName, incomplete), u"");
  }
  EXPECT_EQ(db_.Query("SELECT NAME, REMARK FROM TELV_DICT_SOURCE ORDER BY NAME"),
            (std::vector<std::vector<std::string>>{{"其他", ""}, {"旧名", "旧说明"}}));

  EXPECT_EQ(Run(&CBEMRDictT::SetDictName,
                u"<root><original_name>旧名</original_name><new_name>新'名</new_name>"
                u"<remark>新说明</remark></root>"),
            u"");
  EXPECT_EQ(db_.Query("SELECT NAME, REMARK FROM TELV_DICT_SOURCE WHERE XML IS NOT NULL"),
            (std::vector<std::vector<std::string>>{{"新'名", "新说明"}}));
  // A rename onto an existing name is refused by the key, and changes nothing.
  EXPECT_EQ(Run(&CBEMRDictT::SetDictName,
                u"<root><original_name>新'名</original_name><new_name>其他</new_name>"
                u"<remark>重名</remark></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(db_.Count("TELV_DICT_SOURCE", "NAME = '新''名' AND REMARK = '新说明'"), 1);
  EXPECT_EQ(Run(&CBEMRDictT::SetDictName, u"<root>"), kParseError);
}

// Changes the current directory of the process while it lives.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& directory)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
  }
  ~ScopedCurrentDirectory() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

// Dictionaries of the HIS: "telv.config.xml" in a directory of the test's own names the kind,
// "kesh.config.xml" and "didu.config.xml" two databases of their own, each holding both tables
// with rows that say which database and table answered.
class HisDictTest : public DictTest {
 protected:
  void SetUp() override {
    DictTest::SetUp();
    for (auto [his, file] : {std::pair{&kesh_, "kesh"}, std::pair{&didu_, "didu"}}) {
      AddDictTable(*his, "HIS_NAME", {{std::string(file) + "-name", "名", "1"}});
      AddDictTable(*his, "HIS_DIDU_NAME", {{std::string(file) + "-didu_name", "名", "1"}});
      WriteFile(std::string(file) + ".config.xml", Config(his->init_string(), ""));
    }
    AddDict("HIS", "", Definition("his", "HIS_NAME", "KIND='1'", "HIS_DIDU_NAME"));
    AddDict("KESH", "", Definition("kesh", "HIS_NAME", "", "HIS_DIDU_NAME"));
  }

  static std::string Config(const std::string& init_string, const std::string& more) {
    return "<config><db><datasource dbtype=\"oracle\">" + init_string + "</datasource></db>" +
           more + "</config>";
  }
  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(directory_.path() + "/" + name) << text;
  }
  void ConfigureHis(const std::string& his_elements) {
    WriteFile("telv.config.xml", Config(db_.init_string(), his_elements));
  }
  // The CODE of every item the dictionary lists; its failure's message in *failure.
  std::vector<std::string> Codes(const std::string& name, std::u16string* failure = nullptr) {
    ScopedCurrentDirectory in(directory_.path());
    std::vector<std::string> codes;
    for (const auto& list : ItemLists(DataList(name, failure))) {
      for (const Element& item : list) codes.push_back(item.attributes.at("CODE"));
    }
    return codes;
  }

  TestDatabase kesh_, didu_;
  TempDirectory directory_;
};

TEST_F(HisDictTest, TheConfiguredKindChoosesTheDatabaseAndTheTable) {
  ConfigureHis("<his>kesh</his>");
  EXPECT_EQ(Codes("HIS"), std::vector<std::string>{"kesh-name"});
  EXPECT_EQ(Codes("KESH"), std::vector<std::string>{"kesh-name"});
  for (const char* other : {"didu", "KESH", ""}) {
    ConfigureHis(std::string("<his>") + other + "</his>");
    EXPECT_EQ(Codes("HIS"), std::vector<std::string>{"didu-didu_name"}) << other;
    EXPECT_EQ(Codes("KESH"), std::vector<std::string>{"didu-didu_name"}) << other;
  }
}

TEST_F(HisDictTest, AConfigurationWithoutExactlyOneHisIsRefused) {
  for (const char* his : {"", "<his>kesh</his><his>kesh</his>"}) {
    ConfigureHis(his);
    std::u16string failure;
    EXPECT_TRUE(Codes("HIS", &failure).empty());
    EXPECT_EQ(failure, kHisConfigError);
  }
  WriteFile("telv.config.xml", "<config><his>kesh</his>");
  std::u16string failure;
  Codes("HIS", &failure);
  EXPECT_EQ(failure, kHisConfigError);
  std::filesystem::remove(directory_.path() + "/telv.config.xml");
  Codes("HIS", &failure);
  EXPECT_EQ(failure, kHisConfigError);

  // A missing HIS configuration fails as the data source does.
  ConfigureHis("<his>didu</his>");
  std::filesystem::remove(directory_.path() + "/didu.config.xml");
  Codes("HIS", &failure);
  EXPECT_EQ(failure, u"获取数据库配置信息错误. 配置文件: didu.config.xml");
  // A dictionary of the own database does not read the configuration at all.
  std::filesystem::remove(directory_.path() + "/telv.config.xml");
  AddDict("本地", "", Definition("", "DICT_X", "KIND='2'"));
  EXPECT_EQ(Codes("本地"), std::vector<std::string>{"B1"});
}

}  // namespace
