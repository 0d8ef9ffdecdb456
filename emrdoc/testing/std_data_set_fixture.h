// Test fixture of the standard data set and the refresh of record documents: every case runs
// as one writing call on the process's EMR database (the one telv.config.xml names, so that the
// data sources the code opens of its own reach it and share the call's connection) and is
// rolled back at its end. The process-wide document-type table and diagnosis configuration
// are emptied before each case, and the sibling doubles serve the domains' components.
//
//   AddDataSet("DS_VISIT", "0");
//   AddDataElement("STD_DE_SEX", "DS_VISIT");
//   AddNode({.id = "STD_DE_SEX", .ds_id = "DS_VISIT"});
//   AddStoredValue({.node = "STD_DE_SEX", .value = "男", .code = "1"});
//   std::u16string answer = NodeValue(u"STD_DE_SEX");
//
// Thread-safety: one test thread.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "emrdoc/domain_manager.h"
#include "emrdoc/patient_info_node.h"
#include "emrdoc/std_diagnosis_config.h"
#include "emrdoc/std_doc_types.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/calls/call_scope.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::emrdoc::testing {

// A TELV_STD_PATIENT_INFO_NODE row; an empty optional writes NULL.
struct NodeColumns {
  std::string id;
  std::string ds_id = "DS_VISIT";
  std::optional<std::string> key_type_de{};
  std::optional<std::string> relate_domain{};
  std::optional<std::string> once{};
  std::string name = "节点";
};

// A TELV_STD_PATIENT_INFO_DOMAIN row; an empty optional writes NULL.
struct StoredValueColumns {
  std::string node;
  std::string patient_id = "P1";
  std::string event_no = "E1";
  std::optional<std::string> emr_id{};
  std::optional<std::string> value{};
  std::optional<std::string> code{};
  std::string create_time = "2026-12-01 08:00:00";
  std::optional<std::string> blob{};  // bytes of INFO_VALUE_BLOB
};

// A TELV_PATIENT_DIAGNOSIS row of the visit P1/E1; an empty optional writes NULL.
struct DiagnosisColumns {
  std::string id;
  std::optional<std::string> parent{};
  int sub_id = 1;
  std::optional<std::string> direction{};
  std::optional<std::string> position{};
  std::string name;
  std::string diag_class = "2";
  std::optional<std::string> outcome{};
  int status = 1;
};

// UTF-16LE bytes of a text, as INFO_VALUE_BLOB holds a value.
inline std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

class StdDataSetTest : public ::testing::Test {
 protected:
  StdDataSetTest() {
    ProcessDocTypeTable().Clear();
    ProcessDiagnosisConfig().Clear();
    SetToday(u"2026-12-07 09:30:00");
  }
  ~StdDataSetTest() override {
    ProcessDocTypeTable().Clear();
    ProcessDiagnosisConfig().Clear();
  }

  // Runs a statement in the case's call.
  void Run(const std::string& sql) { data_source_.Execute(FromUtf8(sql)); }
  std::u16string Scalar(const std::u16string& sql) {
    std::u16string value;
    data_source_.QueryScalar(sql, value);
    return value;
  }

  void AddDataSet(const std::string& id, const std::string& doc_type, int status = 1) {
    Run("INSERT INTO TELV_STD_DS (ID, NAME, DOC_TYPE, STATUS) VALUES (" + schema::SqlText(id) +
        ", " + schema::SqlText(id + " 数据集") + ", " + schema::SqlText(doc_type) + ", " +
        std::to_string(status) + ")");
  }
  void AddDataElement(const std::string& id, const std::string& ds_id,
                      const std::string& name = "数据元", int serial_flag = 0,
                      const std::optional<std::string>& dict_id = std::nullopt) {
    Run("INSERT INTO TELV_STD_DATA_ELEMENT (ID, NAME, DS_ID, EN_NAME, DICT_ID, DATA_TYPE, "
        "MULTI_VALUE, EX_FLAG, SERIAL_FLAG, STATUS) VALUES (" +
        schema::SqlText(id) + ", " + schema::SqlText(name) + ", " + schema::SqlText(ds_id) +
        ", 'en', " + schema::SqlTextOrNull(dict_id) + ", 'S1', 0, 0, " +
        std::to_string(serial_flag) + ", 1)");
  }
  void AddNode(const NodeColumns& n) {
    Run("INSERT INTO TELV_STD_PATIENT_INFO_NODE (PATIENT_INFO_NODE_ID, NAME, INNER_NAME, DS_ID, "
        "KEY_TYPE_DE, RELATE_DOMAIN_ID, OLD_DOMAIN_ONCE, STATIC_FLAG, TYPE, NOTES, STATUS, "
        "ABSTRACT_FLAG) VALUES (" +
        schema::SqlText(n.id) + ", " + schema::SqlText(n.name) + ", 'inner', " +
        schema::SqlText(n.ds_id) + ", " + schema::SqlTextOrNull(n.key_type_de) + ", " +
        schema::SqlTextOrNull(n.relate_domain) + ", " + schema::SqlTextOrNull(n.once) +
        ", '0', 'T', NULL, 1, '0')");
  }
  void AddStoredValue(const StoredValueColumns& v) {
    Run("INSERT INTO TELV_STD_PATIENT_INFO_DOMAIN (PATIENT_INFO_NODE_ID, PATIENT_ID, EVENT_NO, "
        "EMR_ID, INFO_VALUE, INFO_CODE, CREATE_TIME) VALUES (" +
        schema::SqlText(v.node) + ", " + schema::SqlText(v.patient_id) + ", " +
        schema::SqlText(v.event_no) + ", " + schema::SqlTextOrNull(v.emr_id) + ", " +
        schema::SqlTextOrNull(v.value) + ", " + schema::SqlTextOrNull(v.code) + ", " +
        schema::SqlDate(v.create_time) + ")");
    if (!v.blob) return;
    data_source_.WriteBlob(
        FromUtf8("SELECT INFO_VALUE_BLOB FROM TELV_STD_PATIENT_INFO_DOMAIN WHERE "
                 "PATIENT_INFO_NODE_ID = " +
                 schema::SqlText(v.node) + " AND CREATE_TIME = " + schema::SqlDate(v.create_time)),
        reinterpret_cast<const BYTE*>(v.blob->data()), static_cast<ULONG>(v.blob->size()), 0, 0,
        false);
  }
  void AddDomain(int id, int type, const std::string& key) {
    Run("INSERT INTO TELV_EMR_DOMAIN (ID, TYPE, DOMAIN) VALUES (" + std::to_string(id) + ", " +
        std::to_string(type) + ", " + schema::SqlText(key) + ")");
  }
  void AddDiagnosis(const DiagnosisColumns& d) {
    Run("INSERT INTO TELV_PATIENT_DIAGNOSIS (PATIENT_ID, EVENT_NO, ID, PARENT_ID, SUB_ID, STATUS, "
        "DIAGNOSIS_DIRECTION, DIAGNOSIS_POSITION, DIAGNOSIS_NAME, OUTCOME, DIAG_CLASS) VALUES "
        "('P1', 'E1', " +
        schema::SqlText(d.id) + ", " + schema::SqlTextOrNull(d.parent) + ", " +
        std::to_string(d.sub_id) + ", " + std::to_string(d.status) + ", " +
        schema::SqlTextOrNull(d.direction) + ", " + schema::SqlTextOrNull(d.position) + ", " +
        schema::SqlText(d.name) + ", " + schema::SqlTextOrNull(d.outcome) + ", " +
        schema::SqlText(d.diag_class) + ")");
  }
  void SetParameter(const std::string& name, const std::optional<std::string>& value) {
    Run("DELETE FROM TELV_SYS_PARAM WHERE NAME = " + schema::SqlText(name));
    Run("INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES (" + schema::SqlText(name) + ", " +
        schema::SqlTextOrNull(value) + ")");
  }
  // The patient P1 and the visit E1 the domain-bound cases read.
  void AddPatientVisit() {
    Run(PatientInsertSql({}));
    Run(VisitInsertSql({}));
  }

  // The diagnosis configuration kDiagnosisConfig, its data elements in the data set DS_DIAG, the
  // nodes of the diagnoses of class 2 (a tree) and of the first of them (a value), and the
  // visit's diagnoses: three of class 2, one a sub-diagnosis and one without a position, one of
  // class 1 and one no longer live.
  void AddDiagnoses();

  // The value document of a node for the visit P1/E1, on a registry of the case's call.
  std::u16string NodeValue(const std::u16string& node, VARIANT_BOOL creating = 0,
                           int diagnosis = 0) {
    CBDomainManager registry(&data_source_);
    com::ScopedBstr id(node), patient(u"P1"), event(u"E1"), answer;
    GetPatientInfoNodeValue(&data_source_, &registry, patient.get(), event.get(), id.get(),
                            creating, answer.out(), diagnosis);
    return answer.text();
  }

  // The date-time component's now.
  void SetToday(std::u16string now) { doubles_.Answer(IID_IDateTimeService, 7, std::move(now)); }

  suite::testing::SiblingDoubles doubles_;
  korvalis::testing::ScopedDatabaseClock clock_;
  CCallScope call_{CCallScope::Mode::kWriting};  // never committed: rolled back at the end
  korvalis::testing::TestDataSource data_source_{datasource::testing::EMRDatabase().init_string()};
};

// The diagnosis configuration of the cases: the name, code, outcome and time parts, and the
// class, type, serial and outcome-type qualifiers.
inline constexpr char kDiagnosisConfig[] =
    "<root><part><diag_name>STD_DE_DIAG_NAME</diag_name><diag_icd>STD_DE_DIAG_ICD</diag_icd>"
    "<outcome flag=\"√\">STD_DE_DIAG_OUTCOME</outcome><diag_time>STD_DE_DIAG_TIME</diag_time>"
    "</part><attribute><diag_class>STD_DE_DIAG_CLASS</diag_class>"
    "<diag_type>STD_DE_DIAG_TYPE</diag_type><diag_serial>STD_DE_DIAG_SERIAL</diag_serial>"
    "<outcome_type>STD_DE_OUTCOME_TYPE</outcome_type></attribute></root>";

inline void StdDataSetTest::AddDiagnoses() {
  SetParameter("system_std_diagnosis", kDiagnosisConfig);
  AddDataSet("DS_DIAG", "0");
  for (const char* id :
       {"STD_DE_DIAG_NAME", "STD_DE_DIAG_ICD", "STD_DE_DIAG_OUTCOME", "STD_DE_DIAG_CLASS",
        "STD_DE_DIAG_TYPE", "STD_DE_DIAG_SERIAL", "STD_DE_OUTCOME_TYPE"}) {
    AddDataElement(id, "DS_DIAG");
  }
  AddNode({.id = "STD_DE_DIAG_NAME|2", .ds_id = "DS_DIAG", .key_type_de = "STD_DE_DIAG_CLASS"});
  AddNode({.id = "STD_DE_DIAG_NAME|2|1",
           .ds_id = "DS_DIAG",
           .key_type_de = "STD_DE_DIAG_CLASS|STD_DE_DIAG_SERIAL"});
  AddDiagnosis({.id = "D1",
                .sub_id = 1,
                .direction = "右",
                .position = "侧",
                .name = "股骨骨折",
                .outcome = "治愈"});
  AddDiagnosis({.id = "D2", .sub_id = 2, .name = "高血压病<3级>"});
  AddDiagnosis({.id = "D3", .parent = "D1", .sub_id = 3, .name = "骨折术后"});
  AddDiagnosis({.id = "D4", .sub_id = 4, .name = "入院诊断", .diag_class = "1"});
  AddDiagnosis({.id = "D5", .sub_id = 5, .name = "已删除", .status = 0});
}

}  // namespace korvalis::emrdoc::testing
