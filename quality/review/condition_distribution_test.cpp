#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "quality/review/qc_collector.h"
#include "quality/review/testing/collector_test_support.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::review::testing {
namespace {

using korvalis::suite::testing::SiblingAnswer;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::kUnreachableDatabase;

constexpr int kUserProperty = 9;

class ConditionDistributionTest : public CollectorTest {
 protected:
  Rows ItemLists() {
    return db_.Query(
        "SELECT USER_ID, CONDITION_CODE_LIST FROM TELV_CONDITION_DISTRIBUTE ORDER BY USER_ID");
  }
  Rows GroupLists() {
    return db_.Query(
        "SELECT USER_ID, CONDITION_GROUP_LIST, ROLE_FLAG, VAILD_FLAG FROM "
        "TELV_CONDITION_DISTRIBUTE_EX ORDER BY USER_ID");
  }
  std::vector<Element> Users() {
    return ReadElements(Answer(&CBQCCollector::GetConditionDistributeUser));
  }

  SiblingDoubles doubles_;
};

TEST_F(ConditionDistributionTest, ItemListsAreReplacedPerListedUser) {
  Call(&CBQCCollector::SaveConditionDistribute,
       u"<root><user user_id='U1'>a,b</user><user user_id='U2'>c</user></root>");
  // No `user` element: nothing changes.
  Call(&CBQCCollector::SaveConditionDistribute, u"<root><item user_id='U1'>x</item></root>");
  Call(&CBQCCollector::SaveConditionDistribute, u"");
  EXPECT_EQ(ItemLists(), (Rows{{"U1", "a,b"}, {"U2", "c"}}));
  // At any depth, in document order: the later element of a user wins; others keep theirs.
  Call(&CBQCCollector::SaveConditionDistribute,
       u"<root><g><user user_id=\"O'N\">x<b>'y</b></user></g><user user_id='U1'>first</user>"
       u"<user user_id='U1'>second</user></root>");
  EXPECT_EQ(ItemLists(), (Rows{{"O'N", "x'y"}, {"U1", "second"}, {"U2", "c"}}));

  EXPECT_EQ(Answer(&CBQCCollector::GetConditionDistribute, u"O'N"), u"x'y");
  EXPECT_EQ(Answer(&CBQCCollector::GetConditionDistribute, u"nobody"), u"");
  TestDataSource unreachable(kUnreachableDatabase);
  ScopedBstr empty, list;
  EXPECT_EQ(CBQCCollector::GetConditionDistribute(&unreachable, empty.get(), list.out()), 0);
  EXPECT_EQ(list.text(), u"");
}

TEST_F(ConditionDistributionTest, GroupListsAreAddedChangedAndRemovedPerUser) {
  Call(&CBQCCollector::AddConditionDistributeUser,
       u"<root><user id='U1' role_flag='1' vaild_flag='1'>g1</user>"
       u"<user id='U2' valid_flag='1'>g2</user><user id='U1' role_flag='2' vaild_flag='0'>"
       u"g'3</user></root>");
  // The input attribute is `vaild_flag`; `valid_flag` is not read.
  EXPECT_EQ(GroupLists(), (Rows{{"U1", "g'3", "2", "0"}, {"U2", "g2", "", ""}}));

  Call(&CBQCCollector::SetConditionDistributeEx, u"U2", u"new'list");
  Call(&CBQCCollector::SetConditionDistributeEx, u"U9", u"none");  // no row: none is made
  Call(&CBQCCollector::SetConditionDistributeEx, u"", u"none");
  EXPECT_EQ(GroupLists(), (Rows{{"U1", "g'3", "2", "0"}, {"U2", "new'list", "", ""}}));
  EXPECT_EQ(Answer(&CBQCCollector::GetConditionDistributeEx, u"U2"), u"new'list");
  EXPECT_EQ(Answer(&CBQCCollector::GetConditionDistributeEx, u"U9"), u"");

  Call(&CBQCCollector::SaveConditionDistribute, u"<root><user user_id='U1'>a</user></root>");
  Call(&CBQCCollector::DelConditionDistributeUser, u"<root><user>U1</user><user>U7</user></root>");
  EXPECT_EQ(GroupLists(), (Rows{{"U2", "new'list", "", ""}}));
  EXPECT_EQ(ItemLists(), (Rows{{"U1", "a"}}));  // the item lists stay
}

TEST_F(ConditionDistributionTest, AListThatIsNotXmlFailsBeforeAnyStatement) {
  for (auto body :
       {&CBQCCollector::SaveConditionDistribute, &CBQCCollector::AddConditionDistributeUser,
        &CBQCCollector::DelConditionDistributeUser}) {
    EXPECT_EQ(Failure(body, u"<root><user id='U1'>g</root>", kUnreachableDatabase), u"无效XML!");
    EXPECT_EQ(Failure(body, u"<root/>", kUnreachableDatabase), u"");
  }
}

TEST_F(ConditionDistributionTest, UserNamesComeFromTheSecurityComponentOneCallPerRow) {
  Call(&CBQCCollector::AddConditionDistributeUser,
       u"<root><user id='U1' role_flag='1' vaild_flag='1'>a&amp;b&lt;c</user>"
       u"<user id=\"O'N\" role_flag='2' vaild_flag='0'>g</user><user id='U3'>h</user>"
       u"<user id='U4'>i</user></root>");
  doubles_.ClearCalls();
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"<root><name>张&amp;'三'</name></root>");
  doubles_.Fail(IID_ISecurityService, kUserProperty, E_FAIL, u"安全组件不可用");
  doubles_.Answer(IID_ISecurityService, kUserProperty, SiblingAnswer{S_OK, std::nullopt, {}});
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"<root><sex>男</sex></root>");
  const std::u16string list = Answer(&CBQCCollector::GetConditionDistributeUser);
  EXPECT_EQ(list.substr(0, 28), u"<?xml version='1.0' ?><root>");
  EXPECT_EQ(
      ReadElements(list),
      (std::vector<Element>{
          {"user",
           "a&b<c",
           {{"id", "U1"}, {"name", "张&'三'"}, {"role_flag", "1"}, {"valid_flag", "1"}}},
          {"user", "g", {{"id", "O'N"}, {"name", ""}, {"role_flag", "2"}, {"valid_flag", "0"}}},
          {"user", "h", {{"id", "U3"}, {"name", ""}, {"role_flag", ""}, {"valid_flag", ""}}},
          {"user", "i", {{"id", "U4"}, {"name", ""}, {"role_flag", ""}, {"valid_flag", ""}}}}));
  std::vector<std::u16string> asked;
  for (const auto& call : doubles_.Calls(IID_ISecurityService)) {
    EXPECT_EQ(call.slot, kUserProperty);
    asked.push_back(call.args.at(0));
  }
  EXPECT_EQ(asked, (std::vector<std::u16string>{u"U1", u"O'N", u"U3", u"U4"}));
  // The failed call's error information does not outlive the list.
  EXPECT_EQ(CEMRRemoteError().GetError(), kUnknownSystemError);
}

TEST_F(ConditionDistributionTest, AnAnswerThatIsNoXmlOrAMissingComponentFailsTheList) {
  Call(&CBQCCollector::AddConditionDistributeUser, u"<root><user id='U1'>g</user></root>");
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"<root><name>");
  TestDataSource data_source(db_.init_string());
  BSTR untouched = nullptr;
  EXPECT_EQ(korvalis::testing::FailureOf(
                [&] { CBQCCollector::GetConditionDistributeUser(&data_source, &untouched); }),
            u"解析属性信息错误.");
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_ISecurityService));
  EXPECT_EQ(korvalis::testing::FailureOf(
                [&] { CBQCCollector::GetConditionDistributeUser(&data_source, &untouched); }),
            kCreateComponentError);
  doubles_.Register(SiblingDoubles::DoubleClass(IID_ISecurityService));
  EXPECT_EQ(untouched, nullptr);
}

}  // namespace
}  // namespace korvalis::review::testing
