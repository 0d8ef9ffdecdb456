#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/emr_library.h"
#include "db/testing/test_database.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::schema::SqlText;
using korvalis::schema::TestDatabase;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::TestDataSource;
using Elements = std::vector<std::pair<std::string, std::string>>;

constexpr int kLoginCodeToUserId = 7;
constexpr int kUserIdToProperty = 9;
// The children of a property document's `root` as (name, inner XML), in document order.
Elements PropertyElements(const std::u16string& text) {
  korvalis::xml::Document document;
  EXPECT_TRUE(document.LoadXml(korvalis::ToUtf8(text))) << korvalis::ToUtf8(text);
  Elements elements;
  if (!document.HasDocumentElement()) return elements;
  EXPECT_EQ(document.DocumentElement().Name(), "root");
  for (const korvalis::xml::Node& child : document.DocumentElement().Children()) {
    std::string inner;
    for (const korvalis::xml::Node& part : child.Children()) inner += part.Xml();
    elements.emplace_back(child.Name(), inner);
  }
  return elements;
}

class UserPropertyTest : public ::testing::Test {
 protected:
  // A member of staff with every column set, and (when `super_level` is given) a user row.
  void AddStaff(const std::string& id, const std::string& name,
                std::optional<std::string> super_level, const std::string& valid_flag = "1") {
    db_.Execute(
        "INSERT INTO TELV_STAFF_DICT (ID, NAME, SEX, PY_CODE, WB_CODE, TITLE_ID, DUTY_ID, "
        "WORK_KIND, VALID_FLAG) VALUES (" +
        SqlText(id) + ", " + SqlText(name) + ", '女', " + SqlText("PY" + id) + ", " +
        SqlText("WB" + id) + ", '11', '01', '12', " + SqlText(valid_flag) + ")");
    if (super_level) {
      db_.Execute("INSERT INTO TELV_USER_TABLE (ID, USER_CODE, VALID_FLAG, SUPER_LEVEL) VALUES (" +
                  SqlText(id) + ", " + SqlText("login" + id) + ", '1', " + SqlText(*super_level) +
                  ")");
    }
  }
  void AddGroup(const std::string& doctor_id, const std::string& group) {
    db_.Execute("INSERT INTO TELV_MEDICAL_GROUP_DOCTOR (DOCTOR_ID, MEDICAL_GROUP_ID) VALUES (" +
                SqlText(doctor_id) + ", " + SqlText(group) + ")");
  }

  // The property document of `user_id`, read back; fails the test when the lookup throws.
  Elements Properties(const std::u16string& user_id) {
    ScopedBstr user(user_id);
    ScopedBstr property;
    EXPECT_EQ(GetUserPropertyById(&data_source_, user.get(), property.out()), 0);
    return PropertyElements(property.text());
  }

  std::u16string PropertyFailure(CSingleDataSource* data_source, const std::u16string& user_id) {
    ScopedBstr user(user_id);
    BSTR untouched = nullptr;
    std::u16string failure =
        FailureOf([&] { GetUserPropertyById(data_source, user.get(), &untouched); });
    EXPECT_EQ(untouched, nullptr);
    return failure;
  }

  std::u16string UserIdOf(CSingleDataSource* data_source, const std::u16string& login_code) {
    ScopedBstr login(login_code);
    ScopedBstr user_id;
    GetUserIdByLoginCode(data_source, login.get(), user_id.out());
    return user_id.text();
  }

  std::u16string LoginFailure(CSingleDataSource* data_source, const std::u16string& login_code) {
    ScopedBstr login(login_code);
    BSTR untouched = nullptr;
    std::u16string failure =
        FailureOf([&] { GetUserIdByLoginCode(data_source, login.get(), &untouched); });
    EXPECT_EQ(untouched, nullptr);
    return failure;
  }

  // The security component was called once, in `slot`, with `argument`.
  void ExpectOneSecurityCall(int slot, const std::u16string& argument) {
    const auto calls = doubles_.Calls(IID_ISecurityService);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].slot, slot);
    EXPECT_EQ(calls[0].args, std::vector<std::u16string>{argument});
  }

  SiblingDoubles doubles_;  // the security double answers empty texts unless scripted
  TestDatabase db_;
  TestDataSource data_source_{db_.init_string()};
};

TEST_F(UserPropertyTest, StaffTablesGiveTheNineElementsInNameOrder) {
  AddStaff("U1", "王<芳>", "9");
  EXPECT_EQ(Properties(u"U1"), (Elements{{"admin", "1"},
                                         {"dutytitle", "01"},
                                         {"group", ""},
                                         {"identity", "12"},
                                         {"name", "王&lt;芳&gt;"},
                                         {"py", "PYU1"},
                                         {"sex", "女"},
                                         {"techtitle", "11"},
                                         {"wb", "WBU1"}}));
  // The component was asked first, with the user id.
  ExpectOneSecurityCall(kUserIdToProperty, u"U1");
}

TEST_F(UserPropertyTest, OnlyLevelsEightAndNineOfAValidUserAreAdministrators) {
  AddStaff("U8", "甲", "8");
  AddStaff("U7", "乙", "7");
  AddStaff("UE", "丙", "");
  AddStaff("UN", "丁", std::nullopt);  // no user row
  AddStaff("UI", "戊", "9");
  db_.Execute("UPDATE TELV_USER_TABLE SET VALID_FLAG = '0' WHERE ID = 'UI'");
  const std::pair<std::u16string, std::string> cases[] = {
      {u"U8", "1"}, {u"U7", "0"}, {u"UE", "0"}, {u"UN", "0"}, {u"UI", "0"}};
  for (const auto& [user, admin] : cases) {
    EXPECT_EQ(Properties(user).front(), (std::pair<std::string, std::string>{"admin", admin}))
        << korvalis::ToUtf8(user);
  }
}

TEST_F(UserPropertyTest, AUserInTwoGroupsGetsTheFirstRow) {
  AddStaff("U1", "王芳", "1");
  AddGroup("U1", "G1");
  AddGroup("U1", "G2");
  EXPECT_EQ(Properties(u"U1")[2], (std::pair<std::string, std::string>{"group", "G1"}));
}

TEST_F(UserPropertyTest, AnInvalidOrMissingMemberOfStaffFails) {
  AddStaff("U1", "王芳", "1", /*valid_flag=*/"0");
  AddStaff("O'Neil", "奥尼尔", "1");
  EXPECT_EQ(PropertyFailure(&data_source_, u"U1"), u"获取EMR用户属性错误");
  EXPECT_EQ(PropertyFailure(&data_source_, u"U404"), u"获取EMR用户属性错误");
  // A quote in the id is looked up as itself, and cannot widen the statement.
  EXPECT_EQ(Properties(u"O'Neil")[4], (std::pair<std::string, std::string>{"name", "奥尼尔"}));
  EXPECT_EQ(PropertyFailure(&data_source_, u"x' OR '1'='1"), u"获取EMR用户属性错误");
}

TEST_F(UserPropertyTest, TheComponentsDocumentPassesThroughWithTheDatabasesGroup) {
  AddGroup("U1", "G9");
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty,
                  u"<root><name>张三</name><group>component</group><name>second</name>"
                  u"<extend><a x=\"1\">t</a></extend></root>");
  EXPECT_EQ(Properties(u"U1"),
            (Elements{{"extend", "<a x=\"1\">t</a>"}, {"group", "G9"}, {"name", "张三"}}));
  // Without a medical group the component's `group` is replaced by an empty one.
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty,
                  u"<root><name>李四</name><group>component</group></root>");
  EXPECT_EQ(Properties(u"U2"), (Elements{{"group", ""}, {"name", "李四"}}));
}

TEST_F(UserPropertyTest, AComponentDocumentThatDoesNotParseFails) {
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty, u"<root><name>");
  EXPECT_EQ(PropertyFailure(&data_source_, u"U1"), u"解析属性信息错误.");
}

TEST_F(UserPropertyTest, AFailingComponentEndsTheLookupWithoutTheDatabase) {
  AddStaff("U1", "王芳", "1");
  TestDataSource unreachable(kUnreachableDatabase);
  doubles_.Fail(IID_ISecurityService, kUserIdToProperty, E_FAIL, u"安全组件不可用");
  EXPECT_EQ(PropertyFailure(&data_source_, u"U1"), u"安全组件不可用");
  doubles_.Fail(IID_ISecurityService, kUserIdToProperty, E_UNEXPECTED);
  EXPECT_EQ(PropertyFailure(&data_source_, u"U1"), kUnknownSystemError);
  doubles_.Fail(IID_ISecurityService, kLoginCodeToUserId, E_FAIL, u"安全组件不可用");
  EXPECT_EQ(LoginFailure(&unreachable, u"loginU1"), u"安全组件不可用");
  doubles_.Fail(IID_ISecurityService, kLoginCodeToUserId, E_FAIL);
  EXPECT_EQ(LoginFailure(&unreachable, u"loginU1"), kUnknownSystemError);

  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_ISecurityService));
  EXPECT_EQ(PropertyFailure(&data_source_, u"U1"), kCreateComponentError);
  EXPECT_EQ(LoginFailure(&data_source_, u"loginU1"), kCreateComponentError);
  doubles_.Register(SiblingDoubles::DoubleClass(IID_ISecurityService));
}

TEST_F(UserPropertyTest, ALoginCodeTheComponentKnowsIsNeverLookedUpInTheDatabase) {
  AddStaff("U1", "王芳", "1");
  doubles_.Answer(IID_ISecurityService, kLoginCodeToUserId, u"C42");
  TestDataSource unreachable(kUnreachableDatabase);
  EXPECT_EQ(UserIdOf(&unreachable, u"loginU1"), u"C42");
  ExpectOneSecurityCall(kLoginCodeToUserId, u"loginU1");
}

TEST_F(UserPropertyTest, ALoginCodeTheComponentDoesNotKnowIsAValidUserRow) {
  AddStaff("U1", "王芳", "1");
  AddStaff("U2", "李四", "1");
  db_.Execute("UPDATE TELV_USER_TABLE SET VALID_FLAG = '0' WHERE ID = 'U2'");
  db_.Execute(
      "INSERT INTO TELV_USER_TABLE (ID, USER_CODE, VALID_FLAG) VALUES ('Q1', 'o''neil', '1')");
  EXPECT_EQ(UserIdOf(&data_source_, u"loginU1"), u"U1");
  EXPECT_EQ(UserIdOf(&data_source_, u"o'neil"), u"Q1");
  for (const char16_t* unknown : {u"loginU2", u"nobody", u"x' OR '1'='1", u""}) {
    EXPECT_EQ(LoginFailure(&data_source_, unknown), u"不存在的员工或该员工已被作废。")
        << korvalis::ToUtf8(unknown);
  }
}

TEST_F(UserPropertyTest, TheMethodBodyChainsTheTwoLookups) {
  AddStaff("U1", "王芳", "1");
  AddGroup("U1", "G1");
  ScopedBstr login(u"loginU1");
  ScopedBstr property;
  EXPECT_EQ(CBEMRLibrary::GetUserProperty(&data_source_, login.get(), property.out()), 0);
  EXPECT_EQ(PropertyElements(property.text())[2],
            (std::pair<std::string, std::string>{"group", "G1"}));

  ScopedBstr unknown(u"nobody");
  BSTR untouched = nullptr;
  EXPECT_EQ(
      FailureOf([&] { CBEMRLibrary::GetUserProperty(&data_source_, unknown.get(), &untouched); }),
      u"不存在的员工或该员工已被作废。");
  EXPECT_EQ(untouched, nullptr);
  // A null login code reads as the empty text.
  EXPECT_EQ(FailureOf([&] { CBEMRLibrary::GetUserProperty(&data_source_, nullptr, &untouched); }),
            u"不存在的员工或该员工已被作废。");
}

}  // namespace
