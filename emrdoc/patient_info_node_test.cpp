// The value documents of data elements, the node definitions and the data-element lists.
#include "emrdoc/patient_info_node.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "emrdoc/std_data_set.h"
#include "emrdoc/testing/std_data_set_fixture.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_property.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::StdDataSetTest;
using korvalis::emrdoc::testing::Utf16Bytes;
using korvalis::testing::FailureOf;

// The `value` and `code` of a value document.
struct ValueDocument {
  std::u16string value;
  std::u16string code;
  bool operator==(const ValueDocument&) const = default;
};

ValueDocument Read(const std::u16string& xml) {
  CXmlDocument document(xml, false, false);
  CXmlNode root = document.GetRootNode();
  return {root.GetChild(u"value").GetText(), root.GetChild(u"code").GetText()};
}

void PrintTo(const ValueDocument& d, std::ostream* os) {
  *os << "value=" << korvalis::ToUtf8(d.value) << " code=" << korvalis::ToUtf8(d.code);
}

const ValueDocument kEmpty{};

class PatientInfoNodeTest : public StdDataSetTest {
 protected:
  PatientInfoNodeTest() {
    AddDataSet("DS_VISIT", "0");
    AddDataSet("DS_RECORD", "1");
    AddPatientVisit();
    AddDomain(7, 0, "patient.name");     // 张三
    AddDomain(8, 0, "patient.no_such");  // always empty
  }

  // A node of data element `id` in `ds_id`.
  void AddElementNode(const std::string& id, const std::string& ds_id,
                      std::optional<std::string> domain, std::optional<std::string> once) {
    AddDataElement(id, ds_id);
    AddNode({.id = id, .ds_id = ds_id, .relate_domain = domain, .once = once});
  }

  ValueDocument Stored(const std::u16string& node, VARIANT_BOOL creating = 0) {
    ScopedBstr id(node), patient(u"P1"), event(u"E1"), answer;
    GetPatientInfoValue(&data_source_, id.get(), patient.get(), event.get(), creating,
                        answer.out());
    return Read(answer.text());
  }
};

TEST_F(PatientInfoNodeTest, EachRowOfThePrecedenceTable) {
  AddElementNode("STD_DE_PLAIN", "DS_VISIT", std::nullopt, std::nullopt);
  AddStoredValue({.node = "STD_DE_PLAIN", .value = "存值", .code = "S"});
  AddElementNode("STD_DE_DOMAIN", "DS_VISIT", "7", "0");
  AddStoredValue({.node = "STD_DE_DOMAIN", .value = "旧名", .code = "X"});
  AddElementNode("STD_DE_DOMAIN_EMPTY", "DS_VISIT", "8", std::nullopt);
  AddStoredValue({.node = "STD_DE_DOMAIN_EMPTY", .value = "旧名", .code = "X"});
  AddElementNode("STD_DE_ONCE", "DS_VISIT", "7", "1");
  AddStoredValue({.node = "STD_DE_ONCE", .value = "首次", .code = "F"});
  AddElementNode("STD_DE_ONCE_NEW", "DS_VISIT", "7", "1");
  AddElementNode("STD_DE_REC_ONCE", "DS_RECORD", "7", "1");
  AddStoredValue({.node = "STD_DE_REC_ONCE", .value = "记录值", .code = "R"});
  AddStoredValue({.node = "STD_DE_NO_NODE", .value = "无节点"});

  // No related domain: the stored value.
  EXPECT_EQ(Read(NodeValue(u"STD_DE_PLAIN")), (ValueDocument{u"存值", u"S"}));
  // A related domain without OLD_DOMAIN_ONCE: the domain value before the stored one, and the
  // stored value when the domain answers empty.
  EXPECT_EQ(Read(NodeValue(u"STD_DE_DOMAIN")), (ValueDocument{u"张三", u""}));
  EXPECT_EQ(Read(NodeValue(u"STD_DE_DOMAIN_EMPTY")), (ValueDocument{u"旧名", u"X"}));
  // OLD_DOMAIN_ONCE, not DOC_TYPE "1": the stored value when there is one, whatever creating,
  // else the domain value.
  EXPECT_EQ(Read(NodeValue(u"STD_DE_ONCE")), (ValueDocument{u"首次", u"F"}));
  EXPECT_EQ(Read(NodeValue(u"STD_DE_ONCE", -1)), (ValueDocument{u"首次", u"F"}));
  EXPECT_EQ(Read(NodeValue(u"STD_DE_ONCE_NEW")), (ValueDocument{u"张三", u""}));
  // OLD_DOMAIN_ONCE of DOC_TYPE "1": the domain value while creating, and at load the stored
  // value, which a DOC_TYPE "1" node does not have.
  EXPECT_EQ(Read(NodeValue(u"STD_DE_REC_ONCE", -1)), (ValueDocument{u"张三", u""}));
  EXPECT_EQ(Read(NodeValue(u"STD_DE_REC_ONCE", 0)), kEmpty);
  // A node without a row answers its stored value, or the empty value document.
  EXPECT_EQ(Read(NodeValue(u"STD_DE_NO_NODE")), (ValueDocument{u"无节点", u""}));
  EXPECT_EQ(Read(NodeValue(u"STD_DE_NOTHING")), kEmpty);
}

TEST_F(PatientInfoNodeTest, TheDomainIdStandsBareOnlyAsAWholeNumber) {
  const auto domain_value = [&](const std::u16string& id) {
    CBDomainManager registry(&data_source_);
    ScopedBstr patient(u"P1"), event(u"E1"), answer;
    GetDomainValueById(&data_source_, registry, id, patient.get(), event.get(), answer.out());
    return Read(answer.text());
  };
  EXPECT_EQ(domain_value(u"7"), (ValueDocument{u"张三", u""}));
  EXPECT_EQ(domain_value(u"007"), (ValueDocument{u"张三", u""}));
  for (const char16_t* not_whole : {u"", u"7.0", u" 7", u"7 OR 1=1", u"abc", u"99"}) {
    EXPECT_EQ(domain_value(not_whole), kEmpty) << korvalis::ToUtf8(not_whole);
  }
  // A node whose RELATE_DOMAIN_ID is not a number answers its stored value.
  AddElementNode("STD_DE_BAD_DOMAIN", "DS_VISIT", "7 OR ID > 0", std::nullopt);
  AddStoredValue({.node = "STD_DE_BAD_DOMAIN", .value = "存值"});
  EXPECT_EQ(Read(NodeValue(u"STD_DE_BAD_DOMAIN")), (ValueDocument{u"存值", u""}));
}

TEST_F(PatientInfoNodeTest, AtLoadOnlyTheVisitsRowsCountAndWhileCreatingTheNewest) {
  AddStoredValue({.node = "STD_DE_T", .value = "就诊值", .create_time = "2026-12-01 08:00:00"});
  AddStoredValue({.node = "STD_DE_T",
                  .emr_id = "R1",
                  .value = "病历值",
                  .code = "C",
                  .create_time = "2026-12-02 08:00:00"});
  EXPECT_EQ(Stored(u"STD_DE_T", 0), (ValueDocument{u"就诊值", u""}));
  EXPECT_EQ(Stored(u"STD_DE_T", -1), (ValueDocument{u"病历值", u"C"}));
  EXPECT_EQ(Stored(u"STD_DE_T", 1), (ValueDocument{u"病历值", u"C"}));
}

TEST_F(PatientInfoNodeTest, ADocTypeOneNodeHasNoStoredValueAtLoad) {
  AddDataElement("STD_DE_SIGN", "DS_RECORD");
  AddNode({.id = "STD_DE_SIGN", .ds_id = "DS_RECORD"});
  AddStoredValue({.node = "STD_DE_SIGN", .value = "李四", .code = "D1"});
  // The id of an active data set of DOC_TYPE "1" counts as well; an inactive one does not.
  AddDataSet("DS_OLD", "1", 0);
  AddStoredValue({.node = "DS_RECORD", .value = "集"});
  AddStoredValue({.node = "DS_OLD", .value = "旧集"});
  EXPECT_EQ(Stored(u"STD_DE_SIGN", 0), kEmpty);
  EXPECT_EQ(Stored(u"STD_DE_SIGN", -1), (ValueDocument{u"李四", u"D1"}));
  EXPECT_EQ(Stored(u"DS_RECORD", 0), kEmpty);
  EXPECT_EQ(Stored(u"DS_OLD", 0), (ValueDocument{u"旧集", u""}));
}

TEST_F(PatientInfoNodeTest, TheNewestOfThreeRowsCounts) {
  AddStoredValue({.node = "STD_DE_BP", .value = "120/80", .create_time = "2026-12-01 08:00:00"});
  AddStoredValue({.node = "STD_DE_BP", .value = "150/95", .create_time = "2026-12-03 08:00:00"});
  AddStoredValue({.node = "STD_DE_BP", .value = "130/85", .create_time = "2026-12-02 08:00:00"});
  EXPECT_EQ(Stored(u"STD_DE_BP"), (ValueDocument{u"150/95", u""}));
  // Another visit's and another node's rows do not count.
  AddStoredValue({.node = "STD_DE_BP",
                  .event_no = "E2",
                  .value = "90/60",
                  .create_time = "2026-12-09 08:00:00"});
  EXPECT_EQ(Stored(u"STD_DE_BP"), (ValueDocument{u"150/95", u""}));
}

TEST_F(PatientInfoNodeTest, AnEmptyInfoValueIsReadFromTheBlob) {
  AddStoredValue({.node = "STD_DE_HISTORY",
                  .code = "H",
                  .create_time = "2026-12-01 08:00:00",
                  .blob = Utf16Bytes(u"高血压病史10年<无>")});
  EXPECT_EQ(Stored(u"STD_DE_HISTORY"), (ValueDocument{u"高血压病史10年<无>", u"H"}));
  // A leading byte-order mark is not part of the value.
  AddStoredValue({.node = "STD_DE_HISTORY",
                  .code = "H2",
                  .create_time = "2026-12-02 08:00:00",
                  .blob = Utf16Bytes(u"\uFEFF否认糖尿病史")});
  EXPECT_EQ(Stored(u"STD_DE_HISTORY"), (ValueDocument{u"否认糖尿病史", u"H2"}));
  // An empty INFO_VALUE with an empty BLOB is no value, and has no code.
  AddStoredValue({.node = "STD_DE_HISTORY", .code = "H3", .create_time = "2026-12-03 08:00:00"});
  EXPECT_EQ(Stored(u"STD_DE_HISTORY"), kEmpty);
  AddStoredValue({.node = "STD_DE_HISTORY",
                  .code = "H4",
                  .create_time = "2026-12-04 08:00:00",
                  .blob = Utf16Bytes(u"\uFEFF")});
  EXPECT_EQ(Stored(u"STD_DE_HISTORY"), kEmpty);
}

TEST_F(PatientInfoNodeTest, QuotesInIdsAreLookedUpAsThemselves) {
  AddStoredValue({.node = "STD_DE_Q'1", .patient_id = "P'1", .event_no = "E'1", .value = "引号"});
  ScopedBstr id(u"STD_DE_Q'1"), patient(u"P'1"), event(u"E'1"), answer;
  CBDomainManager registry(&data_source_);
  GetPatientInfoNodeValue(&data_source_, &registry, patient.get(), event.get(), id.get(), 0,
                          answer.out(), 0);
  EXPECT_EQ(Read(answer.text()), (ValueDocument{u"引号", u""}));
  EXPECT_EQ(Read(NodeValue(u"STD_DE_Q' OR '1'='1")), kEmpty);
}

TEST_F(PatientInfoNodeTest, TheValueDocumentHoldsCodeBeforeValue) {
  AddStoredValue({.node = "STD_DE_SEX", .value = "男", .code = "1"});
  const std::u16string document = NodeValue(u"STD_DE_SEX");
  EXPECT_LT(document.find(u"<code>1</code>"), document.find(u"<value>男</value>"));
}

TEST_F(PatientInfoNodeTest, OnlyDataElementIdsHaveAValueDocument) {
  AddStoredValue({.node = "STD_DE_SEX", .value = "男", .code = "1"});
  AddStoredValue({.node = "live_name", .value = "不读"});
  CBDomainManager registry(&data_source_);
  const auto ask = [&](BSTR id, std::u16string* answer) {
    ScopedBstr patient(u"P1"), event(u"E1"), out;
    const bool data_element = GetDataElementValueXml(&data_source_, &registry, patient.get(),
                                                     event.get(), id, 0, out.out(), 0);
    *answer = out.text();
    return data_element;
  };
  std::u16string answer;
  for (const char16_t* plain : {u"live_name", u"STD_D_BP", u"", u"EXT_D"}) {
    ScopedBstr id(plain);
    EXPECT_FALSE(ask(id.get(), &answer)) << korvalis::ToUtf8(plain);
    EXPECT_EQ(answer, u"<?xml version='1.0' ?><root><value/><code/></root>");
  }
  EXPECT_FALSE(ask(nullptr, &answer));
  EXPECT_EQ(answer, kEmptyValueDocument);
  ScopedBstr sex(u"STD_DE_SEX");
  EXPECT_TRUE(ask(sex.get(), &answer));
  EXPECT_EQ(Read(answer), (ValueDocument{u"男", u"1"}));
}

class StdCatalogueTest : public StdDataSetTest {
 protected:
  StdCatalogueTest() {
    AddDataSet("DS_A", "0");
    AddDataSet("DS_B", "0");
    Run("INSERT INTO TELV_STD_DICT (ID, CODE_SYSTEM, NAME) VALUES ('GB_SEX', '2.16.156', '性别')");
    AddDataElement("STD_DE_A2", "DS_A", "乙项");
    AddDataElement("STD_DE_A1", "DS_A", "甲项", 0, "GB_SEX");
    AddDataElement("STD_DE_B1", "DS_B", "丙项", 1);
    AddDataElement("STD_DE_DIAG_NAME", "DS_B", "诊断名称");
    AddDataElement("STD_DE_DIAG_CLASS", "DS_B", "诊断类别");
    AddNode({.id = "STD_DE_A1", .ds_id = "DS_A", .relate_domain = "7", .once = "1"});
    AddNode({.id = "STD_DE_DIAG_NAME|2", .ds_id = "DS_B", .key_type_de = "STD_DE_DIAG_CLASS"});
  }

  // (id, ds_id, dict_code) of each `de` of the list, in order.
  std::vector<std::vector<std::u16string>> List(const char16_t* data_set) {
    ScopedBstr id(data_set), list;
    EXPECT_EQ(GetDataElementList(&data_source_, id.get(), list.out()), 0);
    std::vector<std::vector<std::u16string>> rows;
    for (const auto& de : korvalis::ReadListElements(
             list.get(), u"de", {u"id", u"ds_id", u"dict_code", u"dict_name"})) {
      rows.push_back(
          {de.text, de.attributes[0], de.attributes[1], de.attributes[2], de.attributes[3]});
    }
    return rows;
  }
};

TEST_F(StdCatalogueTest, DataElementListsOfOneDataSetAndOfAll) {
  using Rows = std::vector<std::vector<std::u16string>>;
  EXPECT_EQ(List(u"DS_A"), (Rows{{u"乙项", u"STD_DE_A2", u"DS_A", u"", u""},
                                 {u"甲项", u"STD_DE_A1", u"DS_A", u"2.16.156", u"性别"}}));
  const Rows all = List(u"");
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0][1], u"STD_DE_A2");
  EXPECT_EQ(all[1][1], u"STD_DE_A1");
  EXPECT_EQ(all[2][1], u"STD_DE_B1");  // 丙项 before 诊断… in code-unit order
  EXPECT_EQ(all[3][2], u"DS_B");
  EXPECT_EQ(List(u"DS_NONE"), Rows{});
  EXPECT_EQ(List(u"DS_A' OR '1'='1"), Rows{});
}

TEST_F(StdCatalogueTest, NodeDefinitionsWithAndWithoutQualifiers) {
  ScopedBstr id(u"STD_DE_A1"), definition;
  EXPECT_EQ(GetPatientInfoNodeDefinition(&data_source_, id.get(), definition.out()), 0);
  const CXmlProperty::Map plain = CXmlProperty(definition.text()).GetMap();
  EXPECT_EQ(plain.size(), 17u);
  EXPECT_EQ(plain.at(u"id"), u"STD_DE_A1");
  EXPECT_EQ(plain.at(u"dataset_id"), u"DS_A");
  EXPECT_EQ(plain.at(u"relate_domain"), u"7");
  EXPECT_EQ(plain.at(u"old_domain_once"), u"1");
  EXPECT_EQ(plain.at(u"dict_id"), u"GB_SEX");
  EXPECT_EQ(plain.at(u"doc_type"), u"0");
  EXPECT_EQ(plain.at(u"ds_name"), u"DS_A 数据集");
  EXPECT_EQ(plain.at(u"type_de"), u"");

  // The data element of a qualified node is the part before the first "|".
  const CXmlProperty::Map qualified =
      CXmlProperty(GetPatientInfoNodeDefinition(data_source_, u"STD_DE_DIAG_NAME|2")).GetMap();
  EXPECT_EQ(qualified.at(u"id"), u"STD_DE_DIAG_NAME|2");
  EXPECT_EQ(qualified.at(u"type_de"), u"STD_DE_DIAG_CLASS");
  EXPECT_EQ(qualified.at(u"name"), u"节点");

  EXPECT_EQ(FailureOf([&] { GetPatientInfoNodeDefinition(data_source_, u"STD_DE_DIAG_NAME|3"); }),
            u"获取信息元素属性失败:STD_DE_DIAG_NAME|3");
  EXPECT_EQ(FailureOf([&] { GetPatientInfoNodeDefinition(data_source_, u"STD_DE_A2"); }),
            u"获取信息元素属性失败:STD_DE_A2");
}

TEST_F(StdCatalogueTest, TheSerialDataElementOfADataSet) {
  const auto serial = [&](const char16_t* data_set) {
    ScopedBstr id(data_set), answer;
    GetSerialDataElements(&data_source_, id.get(), answer.out());
    EXPECT_NE(answer.get(), nullptr);
    return answer.text();
  };
  EXPECT_EQ(serial(u"DS_B"), u"STD_DE_B1");
  EXPECT_EQ(serial(u"DS_A"), u"");
  EXPECT_EQ(serial(u"DS_B' OR '1'='1"), u"");
}

}  // namespace
