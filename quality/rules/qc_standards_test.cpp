#include "quality/rules/testing/qc_admin_test_util.h"

namespace korvalis::rules::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

class QcStandardsTest : public QcAdminTest {
 protected:
  static LONG NewCatalog(const std::u16string& properties) {
    LONG id = -1;
    EXPECT_EQ(Call([&](CEMRDataSource* s) {
                CBQCAdmin::InitNewStandardCatalog(s, Arg(properties).get(), &id);
              }),
              u"");
    return id;
  }
  static std::u16string SaveCatalog(LONG id, const std::u16string& properties) {
    return Call([&](CEMRDataSource* s) {
      CBQCAdmin::SaveStandardCatalogProperty(s, id, Arg(properties).get());
    });
  }
  static std::vector<Element> CatalogList(const std::u16string& condition) {
    return List([&](CEMRDataSource* s, BSTR* out) {
      CBQCAdmin::GetStandardCatalogList(s, Arg(condition).get(), out);
    });
  }
  static std::vector<Element> ItemList2(const std::u16string& condition) {
    return List([&](CEMRDataSource* s, BSTR* out) {
      CBQCAdmin::GetStandardList2(s, Arg(condition).get(), out);
    });
  }
  static std::u16string ItemsById(const std::u16string& ids) {
    return Answer([&](CEMRDataSource* s, BSTR* out) {
      CBQCAdmin::GetStandardListByID(s, Arg(ids).get(), out);
    });
  }
  static std::vector<std::string> Ids(const std::vector<Element>& list,
                                      const std::string& attribute = "id") {
    std::vector<std::string> ids;
    for (const Element& e : list) ids.push_back(e.attributes.at(attribute));
    return ids;
  }
  static Table Links() {
    return Rows(
        "SELECT EMR_CATALOG, QC_CATALOG FROM PEV_EMRCATA_QCCATA ORDER BY EMR_CATALOG, QC_CATALOG");
  }
};

TEST_F(QcStandardsTest, NewCataloguesAndItemsTakeTheirOwnIdsWhateverTheClientSends) {
  EXPECT_EQ(NewCatalog(u"<root><name>书写时限</name><emr_type>2;8</emr_type><id>9</id>"
                       u"<sort_code>5</sort_code><status>0</status><emr_catalog>3</emr_catalog>"
                       u"</root>"),
            1);
  EXPECT_EQ(Rows("SELECT ID, SORT_CODE, STATUS, EMR_TYPE_LIST, EMR_TYPE FROM PEV_STANDARD_CATALOG"),
            (Table{{"1", "1", "1", "2;8", "2;8"}}));
  EXPECT_EQ(Links(), (Table{{"3", "1"}}));

  for (LONG expected : {1, 2}) {
    LONG id = -1;
    EXPECT_EQ(Call([&](CEMRDataSource* s) {
                CBQCAdmin::InitNewStandard(
                    s,
                    Arg(u"<root><standard>入院记录超时</standard><point>2</point>"
                        u"<point_catalog_id>1</point_catalog_id><code>SX1</code><id>44</id>"
                        u"<sort_code>9</sort_code><status>0</status><type>7</type></root>")
                        .get(),
                    &id);
              }),
              u"");
    EXPECT_EQ(id, expected);
  }
  EXPECT_EQ(Rows("SELECT ID, SORT_CODE, STATUS, TYPE, POINT_CATALOG_ID FROM PEV_STANDARD_ITEM "
                 "ORDER BY ID"),
            (Table{{"1", "1", "1", "0", "1"}, {"2", "2", "1", "0", "1"}}));
}

TEST_F(QcStandardsTest, AGradeAreaIsSavedThroughTheWholeSubtreeLiveOrDeleted) {
  db().AddStandardCatalog({.id = 1, .name = "根"});
  db().AddStandardCatalog({.id = 2, .name = "子", .parent_id = 1});
  db().AddStandardCatalog({.id = 3, .name = "孙", .parent_id = 2, .status = 0});
  db().AddStandardCatalog({.id = 4, .name = "旁"});
  const auto areas = [] {
    return Rows("SELECT ID, GRADE_AREA FROM PEV_STANDARD_CATALOG ORDER BY ID");
  };
  EXPECT_EQ(SaveCatalog(1, u"<root><name>根'</name><grade_area>5</grade_area></root>"), u"");
  EXPECT_EQ(areas(), (Table{{"1", "5"}, {"2", "5"}, {"3", "5"}, {"4", "0"}}));
  EXPECT_EQ(Scalar("SELECT NAME FROM PEV_STANDARD_CATALOG WHERE ID = 1"), "根'");
  // Without grade_area the subtree's area is cleared.
  EXPECT_EQ(SaveCatalog(2, u"<root><notes>n</notes></root>"), u"");
  EXPECT_EQ(areas(), (Table{{"1", "5"}, {"2", ""}, {"3", ""}, {"4", "0"}}));

  // A loop in the tree fails the whole save.
  db().Execute("UPDATE PEV_STANDARD_CATALOG SET PARENT_ID = 3 WHERE ID = 2");
  EventLogCapture log;
  EXPECT_EQ(SaveCatalog(2, u"<root><name>改名</name><grade_area>6</grade_area></root>"),
            kDatabaseErrorMessage);
  ASSERT_FALSE(log.Records().empty());
  EXPECT_NE(log.Records().back().text.find(u"ORA-01436"), std::u16string::npos);
  EXPECT_EQ(Scalar("SELECT NAME FROM PEV_STANDARD_CATALOG WHERE ID = 2"), "子");
  EXPECT_EQ(areas(), (Table{{"1", "5"}, {"2", ""}, {"3", ""}, {"4", "0"}}));
}

TEST_F(QcStandardsTest, TheEmrCatalogueLinkIsKeptChangedOrDeletedAndNeverForCatalogueZero) {
  db().AddStandardCatalog({.id = 1, .name = "根"});
  // Two rows for one catalogue show whether a save rewrote them.
  db().Execute("INSERT INTO PEV_EMRCATA_QCCATA (EMR_CATALOG, QC_CATALOG) VALUES (7, 1)");
  db().Execute("INSERT INTO PEV_EMRCATA_QCCATA (EMR_CATALOG, QC_CATALOG) VALUES (8, 1)");
  EXPECT_EQ(SaveCatalog(1, u"<root><name>a</name><emr_catalog>7</emr_catalog></root>"), u"");
  EXPECT_EQ(Links(), (Table{{"7", "1"}, {"8", "1"}}));
  EXPECT_EQ(SaveCatalog(1, u"<root><name>a</name><emr_catalog>9</emr_catalog></root>"), u"");
  EXPECT_EQ(Links(), (Table{{"9", "1"}, {"9", "1"}}));
  EXPECT_EQ(SaveCatalog(1, u"<root><name>a</name><emr_catalog></emr_catalog></root>"), u"");
  EXPECT_EQ(Links(), Table{});

  EXPECT_EQ(Call([](CEMRDataSource* s) { CBQCAdmin::SaveEmrCatalogMap(s, u"0", u"5"); }), u"");
  EXPECT_EQ(Call([](CEMRDataSource* s) { CBQCAdmin::SaveEmrCatalogMap(s, u"", u"5"); }), u"");
  EXPECT_EQ(Links(), Table{});

  // A link that is no number is refused before anything is written.
  EXPECT_EQ(Run([](CEMRDataSource* s) {
              CBQCAdmin::SaveStandardCatalogProperty(
                  s, 1,
                  Arg(u"<root><name>b</name><emr_catalog>1 OR 1=1</emr_catalog></root>").get());
            }),
            u"不是有效的数字: '1 OR 1=1' (emr_catalog)");
  EXPECT_EQ(Scalar("SELECT NAME FROM PEV_STANDARD_CATALOG WHERE ID = 1"), "a");
}

TEST_F(QcStandardsTest, ListsFollowTheGradeAreaLinkAndTypeFilters) {
  // Catalogue n + 1 has GRADE_AREA n, item n + 1 and the EMR catalogue n + 11.
  for (int area : {0, 2, 3, 5, 1}) {
    db().AddStandardCatalog({.id = area + 1,
                             .name = "c",
                             .emr_type_list = area == 0 ? "2;8" : "18;2",
                             .grade_area = std::to_string(area)});
    db().AddStandardItem({.id = area + 1, .standard = "s", .catalog_id = area + 1});
    db().Execute("INSERT INTO PEV_EMRCATA_QCCATA (EMR_CATALOG, QC_CATALOG) VALUES (" +
                 std::to_string(area + 11) + ", " + std::to_string(area + 1) + ")");
  }
  db().AddStandardItem({.id = 9, .standard = "删", .catalog_id = 3, .status = 0});
  db().Execute("UPDATE PEV_STANDARD_ITEM SET CODE = 'K''9' WHERE ID = 6");
  db().Execute("UPDATE PEV_STANDARD_CATALOG SET STATUS = 0 WHERE ID = 4");

  using Body = long (*)(CEMRDataSource*, BSTR, BSTR*);
  const Body items = CBQCAdmin::GetStandardList2;
  const Body catalogues = CBQCAdmin::GetStandardCatalogList;
  const struct {
    Body body;
    std::u16string condition;
    std::vector<std::string> ids;
  } kCases[] = {
      {items, u"<grade_area>2</grade_area>", {"1", "3"}},
      {items, u"<grade_area>5</grade_area>", {"6"}},
      {items, u"<emr_catalog_id>0</emr_catalog_id>", {"1", "2", "3", "6"}},
      {items, u"<emr_catalog_id>16</emr_catalog_id><catalog_id>6</catalog_id>", {"6"}},
      {items, u"<code>K'9</code>", {"6"}},
      {catalogues, u"<grade_area>1,2</grade_area>", {"2", "3"}},
      {catalogues, u"<parent_id>0</parent_id><emr_catalog_id>11</emr_catalog_id>", {"1"}},
      {catalogues, u"<emr_type>8</emr_type>", {"1", "2", "3", "6"}},
      {catalogues, u"<emr_type>2;</emr_type>", {"1"}},
      {catalogues, u"<emr_type>'</emr_type>", {}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Ids(List([&](CEMRDataSource* s, BSTR* out) {
                c.body(s, Arg(u"<root>" + c.condition + u"</root>").get(), out);
              })),
              c.ids)
        << ToUtf8(c.condition);
  }
  EXPECT_EQ(
      CatalogList(u"<root><grade_area>1</grade_area></root>").at(0).attributes.at("emr_catalog"),
      "12");

  const struct {
    Body body;
    std::u16string condition;
    std::u16string failure;
  } kRefusals[] = {
      {items, u"<catalog_id>1) OR (1=1</catalog_id>", u"不是有效的数字: '1) OR (1=1' (catalog_id)"},
      {items, u"<emr_catalog_id>1 OR 1=1</emr_catalog_id>",
       u"不是有效的数字: '1 OR 1=1' (emr_catalog_id)"},
      {catalogues, u"<parent_id>0 OR 1=1</parent_id>", u"不是有效的数字: '0 OR 1=1' (parent_id)"},
      {catalogues, u"<emr_catalog_id>x</emr_catalog_id>", u"不是有效的数字: 'x' (emr_catalog_id)"},
      {catalogues, u"<grade_area>", u"解析属性信息错误."},
  };
  for (const auto& c : kRefusals) {
    EXPECT_EQ(Call([&](CEMRDataSource* s) {
                c.body(s, Arg(u"<root>" + c.condition + u"</root>").get(), nullptr);
              }),
              c.failure);
  }
}

TEST_F(QcStandardsTest, PointsReadWithoutTrailingZerosButTheFullListGivesTheStoredNumber) {
  db().AddStandardCatalog({.id = 1, .name = "c", .grade_area = "3"});
  db().AddStandardItem({.id = 1, .standard = "a", .point = 3, .catalog_id = 1, .code = "A"});
  db().AddStandardItem({.id = 2, .standard = "b", .point = 0.25, .catalog_id = 1, .code = "B"});
  db().AddStandardItem({.id = 3, .standard = "c", .point = 2.5, .catalog_id = 1, .code = "C"});
  db().AddStandardItem({.id = 4, .standard = "d", .point = 1, .catalog_id = 1, .status = 0});
  const auto points = [](const std::vector<Element>& list) { return Ids(list, "point"); };
  const std::vector<std::string> formatted{"3", "0.25", "2.5"};
  EXPECT_EQ(
      points(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetStandardList(s, 1, out); })),
      formatted);
  EXPECT_EQ(points(ItemList2(u"<root/>")), formatted);
  const std::vector<Element> all =
      List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetAllStandardList(s, out); });
  EXPECT_EQ(points(all), (std::vector<std::string>{"3", "0.25", "2.5"}));
  EXPECT_EQ(all[0].attributes.at("grade_area"), "3");

  const CXmlProperty item(
      Answer([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetStandardProperty(s, 2, out); }));
  EXPECT_EQ(item.GetMap().size(), 11u);
  EXPECT_EQ(item.GetValue(u"point"), u"0.25");
  EXPECT_EQ(item.GetValue(u"code"), u"B");
  for (LONG deleted_or_missing : {4, 99}) {
    EXPECT_EQ(Answer([&](CEMRDataSource* s, BSTR* out) {
                CBQCAdmin::GetStandardProperty(s, deleted_or_missing, out);
              }),
              u"<?xml version='1.0' ?><root></root>");
  }
}

TEST_F(QcStandardsTest, ItemsByIdReadTheRootsElementsAndEscapeTheirValues) {
  db().AddStandardCatalog({.id = 1, .name = "c"});
  db().AddStandardItem({.id = 1, .standard = "A&B 'C' <D>", .point = 2, .catalog_id = 1});
  db().AddStandardItem({.id = 2, .standard = "删", .point = 1.5, .catalog_id = 1, .status = 0});
  EXPECT_EQ(ItemsById(u"<root/>"), u"<?xml version='1.0' ?><root></root>");
  EXPECT_EQ(ItemsById(u""), u"<?xml version='1.0' ?><root></root>");
  EXPECT_EQ(
      ItemsById(u"<root><i>1</i>text<!-- c --><i> 2 </i></root>"),
      u"<?xml version='1.0' ?><root><item standard='A&amp;B &apos;C&apos; &lt;D&gt;' id='1' "
      u"point='2' type_veto='1' type_multi_sel='0' type_subjective='0' notes='' sort_code='1'  "
      u"point_catalog_id='1' main_grade_flag='0' ></item><item standard='删' id='2' "
      u"point='1.5' type_veto='1' type_multi_sel='0' type_subjective='0' notes='' "
      u"sort_code='2'  point_catalog_id='1' main_grade_flag='0' ></item></root>");
  EXPECT_EQ(Call([](CEMRDataSource* s) {
              CBQCAdmin::GetStandardListByID(s, Arg(u"<root><i>1) OR (1=1</i></root>").get(),
                                             nullptr);
            }),
            u"不是有效的数字: '1) OR (1=1' (id)");
  EXPECT_EQ(Call([](CEMRDataSource* s) {
              CBQCAdmin::GetStandardListByID(s, Arg(u"<root><i>1</root>").get(), nullptr);
            }),
            u"无效XML!");
}

TEST_F(QcStandardsTest, ACodeExistsOnlyAmongOtherLiveItems) {
  db().AddStandardCatalog({.id = 1, .name = "c"});
  db().AddStandardItem({.id = 1, .standard = "a", .catalog_id = 1, .code = "SX'1"});
  db().AddStandardItem({.id = 2, .standard = "b", .catalog_id = 1, .code = "OLD", .status = 0});
  const auto exists = [](const std::u16string& id, const std::u16string& code) {
    LONG found = -1;
    EXPECT_EQ(Call([&](CEMRDataSource* s) {
                CBQCAdmin::IsStandardCodeExist(s, Arg(id).get(), Arg(code).get(), &found);
              }),
              u"");
    return found;
  };
  EXPECT_EQ(exists(u"0", u"SX'1"), 1);
  EXPECT_EQ(exists(u"1", u"SX'1") + exists(u"0", u"OLD") + exists(u"77", u"NEW"), 0);
  EXPECT_EQ(Call([](CEMRDataSource* s) {
              LONG found = 0;
              CBQCAdmin::IsStandardCodeExist(s, Arg(u"0 OR 1=1").get(), Arg(u"x").get(), &found);
            }),
            u"不是有效的数字: '0 OR 1=1' (bstrID)");
}

TEST_F(QcStandardsTest, ACatalogueReadsWithItsParentAndLinkAndDeletingItFreesItsChildren) {
  db().AddCatalog({.id = 7, .code = "07", .name = "病程记录"});
  db().AddStandardCatalog({.id = 1, .name = "根"});
  db().AddStandardCatalog({.id = 2, .name = "子", .parent_id = 1, .emr_type_list = "8"});
  db().AddStandardCatalog({.id = 3, .name = "孙", .parent_id = 2});
  db().AddStandardItem({.id = 1, .standard = "a", .catalog_id = 2});
  db().AddStandardItem({.id = 2, .standard = "b", .catalog_id = 3});
  db().Execute("INSERT INTO PEV_EMRCATA_QCCATA (EMR_CATALOG, QC_CATALOG) VALUES (7, 2)");
  const auto property = [](LONG id) {
    return Answer(
        [&](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetStandardCatalogProperty(s, id, out); });
  };
  const CXmlProperty::Map bag = CXmlProperty(property(2)).GetMap();
  EXPECT_EQ(bag.size(), 11u);
  EXPECT_EQ(bag.at(u"parent_name"), u"根");
  EXPECT_EQ(bag.at(u"emr_catalog") + bag.at(u"emr_catalog_name"), u"7病程记录");
  EXPECT_EQ(property(99), u"<?xml version='1.0' ?><root/>");

  EXPECT_EQ(Call([](CEMRDataSource* s) { CBQCAdmin::DeleteStandardCatalog(s, 2); }), u"");
  EXPECT_EQ(Rows("SELECT ID, PARENT_ID, STATUS FROM PEV_STANDARD_CATALOG ORDER BY ID"),
            (Table{{"1", "0", "1"}, {"2", "1", "0"}, {"3", "0", "1"}}));
  EXPECT_EQ(Rows("SELECT ID, STATUS FROM PEV_STANDARD_ITEM ORDER BY ID"),
            (Table{{"1", "0"}, {"2", "1"}}));
  EXPECT_EQ(Links(), (Table{{"7", "2"}}));
  // A deleted catalogue still reads.
  EXPECT_EQ(CXmlProperty(property(2)).GetValue(u"name"), u"子");
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetEMRAndQCMap(s, out); }),
            (std::vector<Element>{{"emr", "7", {{"qc", "2"}}}}));
}

}  // namespace
}  // namespace korvalis::rules::testing
