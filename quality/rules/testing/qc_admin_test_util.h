// What the tests of the QC administration share: the rule tests' process database (the
// property maps are read through it), also emptied of the standards, their EMR catalogue links,
// the rule exceptions and the signature deadlines before each test; bodies run as a method call
// runs them (committed when they return, rolled back when they throw); and text arguments.
//
// Thread-safety: a fixture belongs to its test's thread; the tests of the process use its database
// one at a time.
#pragma once

#include <functional>
#include <string>

#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/qc_admin.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {

// A text argument that lives until the end of the full expression.
inline ScopedBstr Arg(std::u16string_view text) { return ScopedBstr(text); }

class QcAdminTest : public RuleDatabaseTest {
 protected:
  void SetUp() override {
    RuleDatabaseTest::SetUp();
    for (const char* table : {"PEV_STANDARD_CATALOG", "PEV_STANDARD_ITEM", "PEV_EMRCATA_QCCATA",
                              "PEV_RULE_EXCEPTION", "PEV_SUPERIOR_SIGN_REC", "TELV_EMR_CATALOG"}) {
      db().Execute(std::string("DELETE FROM ") + table);
    }
  }

  // Runs `body` as one method call: its statements are committed when it returns and rolled
  // back when it throws. Answers the text of the CEMRException it threw, "" when none.
  static std::u16string Call(const std::function<void(CEMRDataSource*)>& body) {
    return korvalis::testing::FailureOf([&] {
      CCallScope scope(CCallScope::Mode::kWriting);
      {
        CEMRDataSource data_source;
        body(&data_source);
      }
      scope.Commit();
    });
  }

  // The text a reading body hands out; the call must succeed.
  static std::u16string Answer(const std::function<void(CEMRDataSource*, BSTR*)>& body) {
    ScopedBstr result;
    EXPECT_EQ(Call([&](CEMRDataSource* source) { body(source, result.out()); }), u"");
    return result.text();
  }
  static std::vector<Element> List(const std::function<void(CEMRDataSource*, BSTR*)>& body) {
    return ReadElements(Answer(body));
  }
};

}  // namespace korvalis::rules::testing
