// The operation records document of the record library and the operation domain over it.
#include "emrdoc/operation_domain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/template_fixture.h"
#include "foundation/calls/emr_error.h"
#include "foundation/testing/list_elements.h"
#include "lookups/record_library.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::TemplateTest;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;

constexpr int kOperationDomainCode = 11;
constexpr int kOperationRecordType = 5;

class OperationDomainTest : public TemplateTest {
 protected:
  void AddOperation(const std::string& id, const std::string& day, const std::u16string& xml) {
    AddRecordWithXml(id, kOperationRecordType, xml, "2009-03-0" + day + " 08:00:00");
  }
  std::u16string OperationRecords() {
    ScopedBstr patient(u"P1"), event(u"E1"), xml;
    EXPECT_EQ(GetOperationRecordsXml(&data_source_, patient.get(), event.get(), xml.out()), 0);
    return xml.text();
  }
  std::u16string Ask(CBDomainManager& registry, const std::u16string& key) {
    return korvalis::emrdoc::testing::AskRegistry(registry, kOperationDomainCode, key);
  }
};

TEST_F(OperationDomainTest, OneOpsPerLiveRecordNewestFirst) {
  EXPECT_TRUE(ReadElements(OperationRecords()).empty());
  AddOperation("R1", "1",
               u"<root><name>阑尾切除术</name><doctor>王医生</doctor><doctor>李医生</doctor>"
               u"<group><x>内</x></group><!-- c --></root>");
  AddOperation("R2", "2", u"");
  AddOperation("R3", "3", u"<root><name>疝");  // does not parse
  AddRecordWithXml("R4", 2, u"<root><name>不是手术</name></root>");
  EXPECT_EQ(ReadElements(OperationRecords()),
            (std::vector<Element>{{"ops", "", {}},
                                  {"ops", "", {}},
                                  {"ops", "阑尾切除术", {{"doctor", "李医生"}, {"group", "内"}}}}));
}

TEST_F(OperationDomainTest, RecordsNumberedOldestFirstAndTheNewestWithoutANumber) {
  AddOperation("R1", "1", u"<root><name>一</name><doctor>甲</doctor></root>");
  AddOperation("R2", "2", u"");
  AddOperation("R3", "3", u"<root><name>三</name><code>C3</code></root>");
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(Ask(registry, u"emr.operation.1.name"), u"一");
  EXPECT_EQ(Ask(registry, u"emr.operation.1.doctor"), u"甲");
  EXPECT_EQ(Ask(registry, u"emr.operation.2.name"), u"");
  EXPECT_EQ(Ask(registry, u"emr.operation.3.name"), u"三");
  EXPECT_EQ(Ask(registry, u"emr.operation.3.code"), u"C3");
  EXPECT_EQ(Ask(registry, u"emr.operation.3.doctor"), u"");  // a frame without the field
  EXPECT_EQ(Ask(registry, u"emr.operation.name"), u"三");
  EXPECT_EQ(Ask(registry, u"emr.operation.code"), u"C3");
  EXPECT_EQ(Ask(registry, u"emr.operation.0.name"), u"");
  EXPECT_EQ(Ask(registry, u"emr.operation.4.name"), u"");
}

TEST_F(OperationDomainTest, AFailureBecomesTheErrorDescription) {
  AddOperation("R1", "1", u"<root><name>一</name></root>");
  Run("DROP TABLE TELV_EMR_CONTENT");
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(Ask(registry, u"emr.operation.name"), u"");
  EXPECT_NE(CEMRRemoteError().GetError(), kUnknownSystemError);
}

}  // namespace
