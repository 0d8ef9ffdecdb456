#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "foundation/data/single_data_source.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "platform/xml/testing/entity_bombs.h"
#include "report/testing/repository_test_util.h"

namespace korvalis::report::testing {
namespace {

// The catalogue tree of an answer as "A[B[C],D],E": each `child` by its name, its children in
// brackets; siblings in the answer's order, or sorted by their texts.
std::string Nesting(const xml::Node& parent, bool sorted = false) {
  std::vector<std::string> children;
  for (const xml::Node& child : parent.Children()) {
    EXPECT_EQ(child.Name(), "child");
    std::string name;
    child.GetAttribute("name", name);
    const std::string inner = Nesting(child, sorted);
    children.push_back(inner.empty() ? name : name + "[" + inner + "]");
  }
  if (sorted) std::sort(children.begin(), children.end());
  std::string text;
  for (const std::string& child : children) text += (text.empty() ? "" : ",") + child;
  return text;
}

class CatalogTest : public RepositoryTest {
 protected:
  // Saves a catalogue; answers its identifier.
  std::u16string SaveCatalog(const std::u16string& name, const std::u16string& parent_id = u"",
                             const std::u16string& id = u"") {
    std::u16string saved;
    EXPECT_EQ(Failure(&CBRepository::SetVktCatalog,
                      Document({{u"id", id},
                                {u"parent_id", parent_id},
                                {u"name", name},
                                {u"remark", u"备注"},
                                {u"def_structure_id", u"S1"}}),
                      &saved),
              u"");
    return saved;
  }
  std::u16string SaveItem(const std::u16string& name, const std::u16string& catalog_id,
                          const std::u16string& valid_flag = u"") {
    std::u16string saved;
    EXPECT_EQ(Failure(&CBRepository::SetVktItem,
                      Document({{u"catalog_id", catalog_id},
                                {u"structure_id", u"S1"},
                                {u"name", name},
                                {u"spell_code", u"PY"},
                                {u"valid_flag", valid_flag}}),
                      &saved),
              u"");
    return saved;
  }

  // The catalogue listing of `condition` as its nesting.
  std::string Tree(const std::u16string& condition, bool sorted = false) {
    const std::u16string answer = Answer(&CBRepository::GetVktCatalogList, condition);
    xml::Document document;
    EXPECT_TRUE(document.LoadXml(ToUtf8(answer))) << ToUtf8(answer);
    EXPECT_EQ(document.DocumentElement().Name(), "root");
    return Nesting(document.DocumentElement(), sorted);
  }
  // The names of the items listed for `condition`, sorted.
  std::vector<std::string> ItemNames(const std::u16string& condition) {
    std::vector<std::string> names;
    for (const Element& item : List(&CBRepository::GetVktItemList, condition)) {
      names.push_back(item.text);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // A, with B (holding C and D) and E below it; F at the top; G below F.
  void SaveTree() {
    a_ = SaveCatalog(u"A");
    b_ = SaveCatalog(u"B", a_);
    c_ = SaveCatalog(u"C", b_);
    SaveCatalog(u"D", b_);
    SaveCatalog(u"E", a_);
    f_ = SaveCatalog(u"F");
    SaveCatalog(u"G", f_);
  }

  std::u16string a_, b_, c_, f_;
};

TEST_P(CatalogTest, ANewCatalogueGetsAFreshIdThatARewriteKeepsInOneRow) {
  const std::u16string id = SaveCatalog(u"内科");
  EXPECT_TRUE(std::regex_match(ToUtf8(id), std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}")))
      << ToUtf8(id);
  SaveCatalog(u"心血管", id);
  EXPECT_NE(SaveCatalog(u"内科"), id);

  // The rewrite names only the new name: the other values left out become NULL.
  std::u16string rewritten;
  EXPECT_EQ(Failure(&CBRepository::SetVktCatalog,
                    u"<root><id>" + id + u"</id><name>大内科</name></root>", &rewritten),
            u"");
  EXPECT_EQ(rewritten, id);
  EXPECT_EQ(db_.Query("SELECT NAME, PARENT_ID, REMARK, DEF_STRUCTURE_ID FROM VKT_CATALOG WHERE ID "
                      "= '" +
                      ToUtf8(id) + "'"),
            (Rows{{"大内科", "", "", ""}}));
  EXPECT_EQ(db_.Count("VKT_CATALOG"), 3);
  EXPECT_EQ(Tree(u"<root><id>" + id + u"</id><recursive_flag>true</recursive_flag></root>"),
            "大内科[心血管]");
  EXPECT_EQ(Tree(u"<root><parent_id>" + id + u"</parent_id></root>"), "心血管");
}

TEST_P(CatalogTest, TheTreeNestsCataloguesSavedOutOfDepthFirstOrder) {
  // Children before their parents, and a subtree's catalogues between another's.
  for (const auto& [name, parent] :
       std::vector<std::pair<std::u16string, std::u16string>>{{u"G", u"F"},
                                                              {u"D", u"B"},
                                                              {u"E", u"A"},
                                                              {u"H", u"D"},
                                                              {u"C", u"B"},
                                                              {u"F", u""},
                                                              {u"B", u"A"},
                                                              {u"A", u""}}) {
    SaveCatalog(name, parent.empty() ? u"" : u"id-" + parent, u"id-" + name);
  }
  EXPECT_EQ(Tree(u"<root><recursive_flag>true</recursive_flag></root>", true),
            "A[B[C,D[H]],E],F[G]");
  EXPECT_EQ(Tree(u"<root><id>id-B</id><recursive_flag>true</recursive_flag></root>", true),
            "B[C,D[H]]");
  EXPECT_EQ(
      Tree(u"<root><parent_id>id-A</parent_id><recursive_flag>true</recursive_flag></root>", true),
      "B[C,D[H]],E");
}

TEST_P(CatalogTest, QuotesInAnyValueAreStoredAsGiven) {
  const std::u16string parent = SaveCatalog(u"O'Brien", u"", u"it's");
  EXPECT_EQ(parent, u"it's");
  SaveCatalog(u"child's", u"it's");
  EXPECT_EQ(Tree(u"<root><parent_id>it's</parent_id></root>"), "child's");
  EXPECT_EQ(Tree(u"<root><id>it's</id><recursive_flag>true</recursive_flag></root>"),
            "O'Brien[child's]");
  SaveItem(u"O'Neil's", u"it's");
  EXPECT_EQ(ItemNames(u"<root><catalog_id>it's</catalog_id></root>"),
            std::vector<std::string>{"O'Neil's"});
  EXPECT_EQ(db_.QueryScalar("SELECT COUNT(*) FROM VKT_ITEM WHERE SPELL_CODE = 'PY'"), "1");
  Run(&CBRepository::DelVktItem, u"<root><catalog_id>it's</catalog_id></root>");
  EXPECT_EQ(db_.Count("VKT_ITEM"), 0);
}

TEST_P(CatalogTest, TheListingIsFlatUnlessTheFlagIsExactlyTrue) {
  SaveTree();
  EXPECT_EQ(Tree(u""), "A,F");
  EXPECT_EQ(Tree(u"<root/>"), "A,F");
  EXPECT_EQ(Tree(u"<root><recursive_flag>true</recursive_flag></root>"), "A[B[C,D],E],F[G]");
  EXPECT_EQ(Tree(u"<root><recursive_flag>TRUE</recursive_flag></root>"), "A,F");
  EXPECT_EQ(Tree(u"<root><recursive_flag>1</recursive_flag></root>"), "A,F");
  // A parent's children with their descendants inside them; the parent itself is not listed.
  EXPECT_EQ(Tree(u"<root><parent_id>" + a_ +
                 u"</parent_id><recursive_flag>true</recursive_flag>"
                 u"</root>"),
            "B[C,D],E");
  EXPECT_EQ(Tree(u"<root><parent_id>" + a_ + u"</parent_id></root>"), "B,E");
  EXPECT_EQ(Tree(u"<root><id>" + b_ + u"</id></root>"), "B");
  EXPECT_EQ(Tree(u"<root><id>" + b_ + u"</id><recursive_flag>true</recursive_flag></root>"),
            "B[C,D]");
  EXPECT_EQ(Tree(u"<root><id>" + b_ + u"</id><parent_id>" + f_ + u"</parent_id></root>"), "");
  EXPECT_EQ(Tree(u"<root><id>none</id><recursive_flag>true</recursive_flag></root>"), "");

  // Every element carries the catalogue's five values and no text.
  const Elements listed =
      List(&CBRepository::GetVktCatalogList, u"<root><id>" + c_ + u"</id></root>");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], (Element{"child",
                                "",
                                {{"id", ToUtf8(c_)},
                                 {"parent_id", ToUtf8(b_)},
                                 {"name", "C"},
                                 {"remark", "备注"},
                                 {"def_structure_id", "S1"}}}));
  EXPECT_EQ(Answer(&CBRepository::GetVktCatalogList, u"<root><id>none</id></root>"),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");
}

TEST_P(CatalogTest, AValueXmlCannotCarryIsListedAsAReplacementCharacter) {
  SaveTree();
  // Brought in by another system: a control character in a name and in a structure's name.
  db_.Execute("UPDATE VKT_CATALOG SET NAME = 'C' || CHR(1) || 'x' WHERE ID = '" + ToUtf8(c_) + "'");
  EXPECT_EQ(Tree(u"<root><id>" + c_ + u"</id><recursive_flag>true</recursive_flag></root>"),
            "C\uFFFDx");
  db_.Execute(
      "INSERT INTO VKT_ITEM_STRUCTURE (ID, NAME, VAILD_FLAG) VALUES ('S1', 'a' || CHR(2), '1')");
  const Elements structures = List(&CBRepository::GetVktStructure, u"<root/>");
  ASSERT_EQ(structures.size(), 1u);
  EXPECT_EQ(Attribute(structures[0], "name"), "a\uFFFD");
}

TEST_P(CatalogTest, ACatalogueMadeItsOwnAncestorFailsTheTreeButNotTheFlatListing) {
  SaveTree();
  SaveItem(u"C项", c_);
  // A becomes the child of C, its own grandchild.
  EXPECT_EQ(Failure(&CBRepository::SetVktCatalog,
                    Document({{u"id", a_}, {u"parent_id", c_}, {u"name", u"A"}})),
            u"");
  const std::u16string tree_of_b =
      u"<root><id>" + b_ + u"</id><recursive_flag>true</recursive_flag></root>";
  EXPECT_EQ(Failure(&CBRepository::GetVktCatalogList, tree_of_b), kDatabaseErrorMessage);
  EXPECT_EQ(Failure(&CBRepository::GetVktItemList, u"<root><catalog_id>" + b_ +
                                                       u"</catalog_id><recursive_flag>true"
                                                       u"</recursive_flag></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(Tree(u"<root><id>" + b_ + u"</id></root>"), "B");
  EXPECT_EQ(Tree(u"<root><parent_id>" + b_ + u"</parent_id></root>"), "C,D");
  // The loop is not reached from the top: the whole tree still answers.
  EXPECT_EQ(Tree(u"<root><recursive_flag>true</recursive_flag></root>"), "F[G]");
}

TEST_P(CatalogTest, ItemsAreValidByDefaultAndFilteredByTheColumnsSpelling) {
  SaveTree();
  const std::u16string valid = SaveItem(u"有效", c_);
  SaveItem(u"停用", c_, u"0");
  SaveItem(u"B项", b_, u"1");
  SaveItem(u"F项", f_);
  EXPECT_EQ(SortedRows("SELECT NAME, VAILD_FLAG FROM VKT_ITEM"),
            (Rows{{"B项", "1"}, {"F项", "1"}, {"停用", "0"}, {"有效", "1"}}));
  EXPECT_EQ(ItemNames(u"<root><vaild_flag>1</vaild_flag></root>"),
            (std::vector<std::string>{"B项", "F项", "有效"}));
  EXPECT_EQ(ItemNames(u"<root><vaild_flag>0</vaild_flag></root>"),
            std::vector<std::string>{"停用"});
  EXPECT_EQ(ItemNames(u"<root><valid_flag>0</valid_flag></root>").size(), 4u);

  // The items of a catalogue, or with the flag of its whole subtree.
  EXPECT_EQ(ItemNames(u"<root><catalog_id>" + b_ + u"</catalog_id></root>"),
            std::vector<std::string>{"B项"});
  EXPECT_EQ(ItemNames(u"<root><catalog_id>" + a_ +
                      u"</catalog_id><recursive_flag>true"
                      u"</recursive_flag><vaild_flag>1</vaild_flag></root>"),
            (std::vector<std::string>{"B项", "有效"}));
  EXPECT_EQ(ItemNames(u"<root><catalog_id>" + a_ +
                      u"</catalog_id><recursive_flag>TRUE"
                      u"</recursive_flag></root>"),
            std::vector<std::string>{});
  EXPECT_EQ(ItemNames(u"<root><id>" + valid + u"</id><catalog_id>" + f_ + u"</catalog_id></root>"),
            std::vector<std::string>{});

  const Elements listed =
      List(&CBRepository::GetVktItemList, u"<root><id>" + valid + u"</id></root>");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], (Element{"item",
                                "有效",
                                {{"id", ToUtf8(valid)},
                                 {"catalog_id", ToUtf8(c_)},
                                 {"structure_id", "S1"},
                                 {"vaild_flag", "1"},
                                 {"spell_code", "PY"},
                                 {"remark", ""}}}));
}

TEST_P(CatalogTest, DeletionsWithoutAKeyDeleteNothingAndNeverReachBelow) {
  SaveTree();
  const std::u16string item = SaveItem(u"C项", c_);
  SaveItem(u"B项", b_);
  SaveItem(u"B项2", b_);
  Run(&CBRepository::DelVktItem, u"<root/>");
  Run(&CBRepository::DelVktItem, u"<root><id></id><catalog_id></catalog_id></root>");
  Run(&CBRepository::DelVktItem,
      u"<root><id>" + item + u"</id><catalog_id>" + b_ + u"</catalog_id></root>");
  EXPECT_EQ(db_.Count("VKT_ITEM"), 3);
  // A catalogue's items go, those of its sub-catalogues stay.
  Run(&CBRepository::DelVktItem, u"<root><catalog_id>" + b_ + u"</catalog_id></root>");
  EXPECT_EQ(ItemNames(u"<root/>"), std::vector<std::string>{"C项"});
  Run(&CBRepository::DelVktItem, u"<root><id>" + item + u"</id></root>");
  EXPECT_EQ(db_.Count("VKT_ITEM"), 0);

  Run(&CBRepository::DelVktCatalog, u"");
  EXPECT_EQ(db_.Count("VKT_CATALOG"), 7);
  Run(&CBRepository::DelVktCatalog, b_);
  EXPECT_EQ(db_.Count("VKT_CATALOG"), 6);
  EXPECT_EQ(Tree(u"<root><recursive_flag>true</recursive_flag></root>"), "A[E],F[G]");
}

TEST_P(CatalogTest, ADepartmentsCataloguesCarryTheirTemplatesConfiguration) {
  Run(&CBRepository::AddVktDistriCatalog,
      u"<root><dept_code>0101</dept_code><catalog_id>K1</catalog_id><template_id>T1</template_id>"
      u"</root>");
  Run(&CBRepository::AddVktDistriCatalog,
      u"<root><dept_code>0101</dept_code><catalog_id>K2</catalog_id><template_id>T2</template_id>"
      u"</root>");
  Run(&CBRepository::AddVktDistriCatalog,
      u"<root><dept_code>0102</dept_code><catalog_id>K1</catalog_id><template_id>T1</template_id>"
      u"</root>");
  EXPECT_EQ(Failure(&CBRepository::SetVktRfConfig,
                    u"<root><template_id>T1</template_id><template_name>模板一</template_name>"
                    u"<group>G</group><xid>X1</xid><valid>1</valid></root>"),
            u"");

  auto by_catalog = [](Elements elements) {
    std::sort(elements.begin(), elements.end(), [](const Element& a, const Element& b) {
      return Attribute(a, "catalog_id") < Attribute(b, "catalog_id");
    });
    return elements;
  };
  const Element configured{"template_id",
                           "T1",
                           {{"dept_code", "0101"},
                            {"catalog_id", "K1"},
                            {"template_name", "模板一"},
                            {"xid", "X1"},
                            {"valid", "1"}}};
  const Element bare{"template_id",
                     "T2",
                     {{"dept_code", "0101"},
                      {"catalog_id", "K2"},
                      {"template_name", ""},
                      {"xid", ""},
                      {"valid", ""}}};
  EXPECT_EQ(by_catalog(List(&CBRepository::GetVktCatalogListByDept,
                            u"<root><dept_code>0101</dept_code></root>")),
            (Elements{configured, bare}));
  EXPECT_EQ(List(&CBRepository::GetVktCatalogListByDept,
                 u"<root><dept_code>0101</dept_code><valid>1</valid></root>"),
            Elements{configured});
  EXPECT_EQ(List(&CBRepository::GetVktCatalogListByDept, u"<root/>").size(), 3u);
  EXPECT_EQ(List(&CBRepository::GetVktCatalogListByDept, u"<root><valid>0</valid></root>").size(),
            0u);
}

TEST_P(CatalogTest, ADocumentThatDoesNotParseFailsBeforeAnyStatement) {
  database_ = korvalis::testing::kUnreachableDatabase;
  for (const char16_t* bad : {u"<root><id>", u"<root>&bad;</root>", u"x<root/>"}) {
    for (Query body :
         {&CBRepository::SetVktCatalog, &CBRepository::GetVktCatalogList, &CBRepository::SetVktItem,
          &CBRepository::GetVktItemList, &CBRepository::GetVktCatalogListByDept}) {
      EXPECT_EQ(Failure(body, bad), u"解析属性信息错误.") << ToUtf8(bad);
    }
    EXPECT_EQ(Failure(&CBRepository::DelVktItem, bad), u"解析属性信息错误.");
  }
  // Without a key the deletions do not reach the database at all.
  EXPECT_EQ(Failure(&CBRepository::DelVktItem, u"<root/>"), u"");
  EXPECT_EQ(Failure(&CBRepository::DelVktCatalog, u""), u"");
}

// An argument's entities count the bytes they expand to: a catalogue whose name would take
// 200 MB is refused at once and named so, while 60,000 references to an empty entity are saved.
TEST_P(CatalogTest, ACatalogueIsHeldToWhatItsEntitiesExpandTo) {
  std::u16string large;
  std::u16string empty;
  for (int i = 0; i < 2'000; ++i) large += u"&q;";
  for (int i = 0; i < 60'000; ++i) empty += u"&e;";
  EXPECT_EQ(Failure(&CBRepository::SetVktCatalog,
                    u"<!DOCTYPE root [<!ENTITY q \"" + std::u16string(100'000, u'x') +
                        u"\">]><root><name>" + large + u"</name></root>"),
            u"解析属性信息错误. its entities expand past the bound of 16 MB");
  // Empty entities cost work too, wherever their references stand.
  for (const auto& bomb : xml::testing::EntityBombs("root", "<name>内科</name>")) {
    EXPECT_EQ(Failure(&CBRepository::SetVktCatalog, FromUtf8(bomb.text)),
              u"解析属性信息错误. its entities expand past the bound of 16 MB")
        << bomb.shape;
  }
  EXPECT_EQ(db_.Count("VKT_CATALOG"), 0);
  std::u16string saved;
  EXPECT_EQ(Failure(&CBRepository::SetVktCatalog,
                    u"<!DOCTYPE root [<!ENTITY e \"\">]><root><name>内" + empty +
                        u"科</name></root>",
                    &saved),
            u"");
  EXPECT_EQ(Tree(u"<root><id>" + saved + u"</id></root>"), "内科");
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogTest, db::testing::kBothEngines, db::testing::EngineName);

}  // namespace
}  // namespace korvalis::report::testing
