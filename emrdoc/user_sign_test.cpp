#include "emrdoc/user_sign.h"

#include <gtest/gtest.h>

#include "foundation/calls/call_scope.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::datasource::testing::EMRDatabase;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;

constexpr int kUserIdToProperty = 9;

class UserNameSignTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EMRDatabase().AddStaff({.id = "S1", .name = "Li Si"});
    EMRDatabase().AddStaff({.id = "S2", .name = "王五", .valid_flag = "0"});
  }

  SiblingDoubles doubles_;  // the security double answers empty texts unless scripted
};

TEST_F(UserNameSignTest, SignsWithTheNameTheSecurityComponentGives) {
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty,
                  u"<root><name>张三</name><sex>男</sex></root>");
  CUserNameSignServer signer(u"C7");
  EXPECT_EQ(signer.Sign(u"whatever"), u"张三");
  EXPECT_EQ(signer.GetSignType(), 0);
  const auto calls = doubles_.Calls(IID_ISecurityService);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, std::vector<std::u16string>{u"C7"});
  // A component document without a name signs with the empty text.
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty, u"<root><sex>男</sex></root>");
  EXPECT_EQ(signer.Sign(u""), u"");
}

TEST_F(UserNameSignTest, SignsWithTheStaffNameWhenTheComponentDoesNotKnowTheUser) {
  EXPECT_EQ(CUserNameSignServer(u"S1").Sign(u""), u"Li Si");
  EXPECT_EQ(FailureOf([] { CUserNameSignServer(u"S2").Sign(u""); }), u"获取EMR用户属性错误");
}

TEST_F(UserNameSignTest, VerifiesOnlyTheExactName) {
  CUserNameSignServer signer(u"S1");
  EXPECT_TRUE(signer.Verify(u"", u"Li Si"));
  for (const char16_t* other : {u"li si", u"LI SI", u" Li Si", u"Li Si ", u"Li  Si", u""}) {
    EXPECT_FALSE(signer.Verify(u"", other));
  }
}

TEST_F(UserNameSignTest, InsideACallTheLookupSharesTheCallsTransaction) {
  CCallScope call(CCallScope::Mode::kWriting);
  {
    CEMRDataSource data_source;
    data_source.Execute(
        u"INSERT INTO TELV_STAFF_DICT (ID, NAME, VALID_FLAG) VALUES ('S9', '新同事', '1')");
    // Not committed yet, and still seen: the signer reads on the call's connection.
    EXPECT_EQ(CUserNameSignServer(u"S9").Sign(u""), u"新同事");
  }
  call.Rollback();
  EXPECT_EQ(EMRDatabase().Count("TELV_STAFF_DICT", "ID = 'S9'"), 0);
}

}  // namespace
