#include "archive/login_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "archive/emr_library.h"
#include "classes/emr_library_class.h"
#include "db/testing/test_database.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "interface/emr_call_scope.h"
#include "platform/com/error_info.h"
#include "platform/com/scoped_bstr.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::schema::SqlText;
using korvalis::schema::TestDatabase;
using korvalis::suite::testing::SiblingAnswer;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;
using korvalis::testing::ScopedDatabaseClock;
using korvalis::testing::TestDataSource;

constexpr int kCheckPassword = 10;  // the security component's fourth method
constexpr char kDigestOf123456[] = "CE0BFD15059B68D67688884D7A3D3E8C";
constexpr char kDigestOfMaster[] = "867EEE5AF0D0A98924DAE416D00481E1";

// Adds a search user and, unless `staff` is false, a member of staff with the same login whose
// password is 123456, valid from 2026-01-01 to 2026-12-31 (the clock stands at 2026-12-07).
void AddLogin(TestDatabase& db, const std::string& code, std::optional<std::string> own_password,
              bool staff = true) {
  static int next_id = 0;
  const std::string id = std::to_string(next_id++);
  db.Execute("INSERT INTO MOLB_USER (ID, CODE, NAME, PASSWORD, PRIVILEGE) VALUES (" + id + ", " +
             SqlText(code) + ", '检索用户', " +
             (own_password ? SqlText(*own_password) : std::string("NULL")) + ", 1)");
  if (!staff) return;
  db.AddStaff({.id = "U" + id, .login = code, .password_digest = kDigestOf123456});
  db.Execute(
      "UPDATE TELV_USER_TABLE SET PWD_VALID_DATE = TO_DATE('2026-01-01', 'YYYY-MM-DD'), "
      "PWD_EXPIRE_DATE = TO_DATE('2026-12-31', 'YYYY-MM-DD') WHERE ID = " +
      SqlText("U" + id));
}

class LoginCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { db_.Execute("DELETE FROM MOLB_USER"); }

  // IsPass of the login code and password; its failure's message in *failure.
  VARIANT_BOOL IsPass(const std::u16string& code, const std::u16string& password,
                      std::u16string* failure = nullptr) {
    ScopedBstr c(code), p(password);
    VARIANT_BOOL pass = 12345;  // neither answer: the body must write one
    TestDataSource data_source(db_.init_string());
    const std::u16string message =
        FailureOf([&] { CBEMRLibrary::IsPass(&data_source, c.get(), p.get(), &pass); });
    if (failure != nullptr) {
      *failure = message;
    } else {
      EXPECT_EQ(message, u"");
    }
    return pass;
  }
  size_t SecurityCalls() const { return doubles_.Calls(IID_ISecurityService).size(); }

  SiblingDoubles doubles_;  // the security double refuses unless scripted
  TestDatabase db_;
  ScopedDatabaseClock clock_;
};

TEST_F(LoginCheckTest, OnlySearchUsersWithoutAPasswordOfTheirOwnAreChecked) {
  AddLogin(db_, "plain", std::nullopt);
  AddLogin(db_, "blanks", "   ");
  AddLogin(db_, "own", "secret");
  EXPECT_EQ(IsPass(u"nobody", u"123456"), VARIANT_FALSE);
  EXPECT_EQ(IsPass(u"own", u"123456"), VARIANT_FALSE);
  EXPECT_EQ(IsPass(u"own", u"secret"), VARIANT_FALSE);
  EXPECT_EQ(SecurityCalls(), 0u);  // the component is not asked for them
  EXPECT_EQ(IsPass(u"plain", u"123456"), VARIANT_TRUE);
  EXPECT_EQ(IsPass(u"blanks", u"123456"), VARIANT_TRUE);
  EXPECT_EQ(IsPass(u"plain", u"12345"), VARIANT_FALSE);
  EXPECT_EQ(SecurityCalls(), 3u);
  // A login code that tries to widen the statement finds no user.
  EXPECT_EQ(IsPass(u"x' OR 'a'='a", u"123456"), VARIANT_FALSE);
  EXPECT_EQ(SecurityCalls(), 3u);
}

TEST_F(LoginCheckTest, TheSecurityComponentIsAskedFirst) {
  AddLogin(db_, "outsider", std::nullopt, /*staff=*/false);
  doubles_.Answer(IID_ISecurityService, kCheckPassword, u"1");
  EXPECT_EQ(IsPass(u"outsider", u"anything"), VARIANT_TRUE);
  const auto calls = doubles_.Calls(IID_ISecurityService);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].slot, kCheckPassword);
  EXPECT_EQ(calls[0].args, (std::vector<std::u16string>{u"outsider", u"anything"}));

  // Refusing, failing with and without error information, or missing: the database decides,
  // and the component's failure leaves no error information behind.
  AddLogin(db_, "staff", std::nullopt);
  doubles_.Answer(IID_ISecurityService, kCheckPassword, u"0");
  EXPECT_EQ(IsPass(u"outsider", u"anything"), VARIANT_FALSE);
  EXPECT_EQ(IsPass(u"staff", u"123456"), VARIANT_TRUE);
  doubles_.Fail(IID_ISecurityService, kCheckPassword, E_FAIL, u"安全组件不可用");
  EXPECT_EQ(IsPass(u"staff", u"123456"), VARIANT_TRUE);
  EXPECT_EQ(CEMRRemoteError().GetError(), kUnknownSystemError);
  doubles_.Fail(IID_ISecurityService, kCheckPassword, E_UNEXPECTED);
  EXPECT_EQ(IsPass(u"staff", u"wrong"), VARIANT_FALSE);
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_ISecurityService));
  EXPECT_EQ(IsPass(u"staff", u"123456"), VARIANT_TRUE);
  EXPECT_EQ(IsPass(u"outsider", u"anything"), VARIANT_FALSE);
  doubles_.Register(SiblingDoubles::DoubleClass(IID_ISecurityService));
}

TEST_F(LoginCheckTest, TheDatabaseCheckNeedsValidStaffAndTheExactDigest) {
  AddLogin(db_, "left", std::nullopt);
  db_.Execute(
      "UPDATE TELV_STAFF_DICT SET VALID_FLAG = '0' WHERE ID IN (SELECT ID FROM "
      "TELV_USER_TABLE WHERE USER_CODE = 'left')");
  EXPECT_EQ(IsPass(u"left", u"123456"), VARIANT_FALSE);
  AddLogin(db_, "lower", std::nullopt);
  db_.Execute("UPDATE TELV_USER_TABLE SET PASSWORD = LOWER(PASSWORD) WHERE USER_CODE = 'lower'");
  EXPECT_EQ(IsPass(u"lower", u"123456"), VARIANT_FALSE);
  // The master password still passes them.
  db_.SetSysParam("system_peeper", kDigestOfMaster);
  EXPECT_EQ(IsPass(u"left", u"master"), VARIANT_TRUE);
  EXPECT_EQ(IsPass(u"lower", u"master"), VARIANT_TRUE);
  EXPECT_EQ(IsPass(u"lower", u"Master"), VARIANT_FALSE);
}

TEST_F(LoginCheckTest, ARightPasswordOutsideItsWindowFailsAndLeavesTheResultFalse) {
  AddLogin(db_, "expired", std::nullopt);
  AddLogin(db_, "early", std::nullopt);
  AddLogin(db_, "undated", std::nullopt);
  db_.Execute(
      "UPDATE TELV_USER_TABLE SET PWD_EXPIRE_DATE = TO_DATE('2026-12-06', 'YYYY-MM-DD') "
      "WHERE USER_CODE = 'expired'");
  db_.Execute(
      "UPDATE TELV_USER_TABLE SET PWD_VALID_DATE = TO_DATE('2026-12-08', 'YYYY-MM-DD') "
      "WHERE USER_CODE = 'early'");
  db_.Execute("UPDATE TELV_USER_TABLE SET PWD_VALID_DATE = NULL WHERE USER_CODE = 'undated'");
  db_.SetSysParam("system_peeper", kDigestOf123456);  // not tried once the window fails
  for (const char16_t* code : {u"expired", u"early", u"undated"}) {
    std::u16string failure;
    EXPECT_EQ(IsPass(code, u"123456", &failure), VARIANT_FALSE);
    EXPECT_EQ(failure, kPasswordExpiredMessage);
  }
  // A wrong password of the same user: no message, and the master password may pass it.
  EXPECT_EQ(IsPass(u"expired", u"wrong"), VARIANT_FALSE);
  db_.SetSysParam("system_peeper", kDigestOfMaster);
  EXPECT_EQ(IsPass(u"expired", u"master"), VARIANT_TRUE);
}

TEST_F(LoginCheckTest, TheMasterPasswordPassesASearchUserUnknownToTheUserTable) {
  AddLogin(db_, "guest", std::nullopt, /*staff=*/false);
  EXPECT_EQ(IsPass(u"guest", u"master"), VARIANT_FALSE);  // no master password set
  db_.SetSysParam("system_peeper", "");
  EXPECT_EQ(IsPass(u"guest", u""), VARIANT_FALSE);
  db_.SetSysParam("system_peeper", kDigestOfMaster);
  EXPECT_EQ(IsPass(u"guest", u"master"), VARIANT_TRUE);
  EXPECT_EQ(IsPass(u"guest", u"123456"), VARIANT_FALSE);
}

TEST(PasswordDigestTest, TheDigestIsTakenOverTheUtf16Bytes) {
  ScopedBstr abc(u"abc");
  // Six bytes, each letter followed by a zero byte; the narrow text's digest differs.
  EXPECT_EQ(GetPasswordDigest(abc.get()), u"CE1473CF80C6B3FDA8E3DFC006ADC315");
  EXPECT_NE(GetPasswordDigest(abc.get()), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(GetPasswordDigest(nullptr), u"D41D8CD98F00B204E9800998ECF8427E");
  ScopedBstr chinese(u"密码");
  EXPECT_EQ(GetPasswordDigest(chinese.get()).size(), 32u);
}

// Through the automation class: an expired password fails the call, and the result the
// caller reads despite the failure is no pass.
TEST(LoginCheckCallTest, AnExpiredPasswordFailsTheCallWithTheResultFalse) {
  TestDatabase& db = korvalis::datasource::testing::EMRDatabase();
  SiblingDoubles doubles;
  ScopedDatabaseClock clock;
  AddLogin(db, "expired-call", std::nullopt);
  db.Execute(
      "UPDATE TELV_USER_TABLE SET PWD_EXPIRE_DATE = TO_DATE('2026-12-06', 'YYYY-MM-DD') "
      "WHERE USER_CODE = 'expired-call'");
  korvalis::frame::InstallEMRCallScope();
  IEMRLibrary* library = nullptr;
  ASSERT_EQ(CreateEMRLibrary(nullptr, IID_IEMRLibrary, reinterpret_cast<void**>(&library)), S_OK);
  ScopedBstr code(u"expired-call"), password(u"123456");
  VARIANT_BOOL pass = VARIANT_TRUE;
  EXPECT_EQ(library->IsPass(code.get(), password.get(), &pass), E_FAIL);
  EXPECT_EQ(pass, VARIANT_FALSE);
  EXPECT_EQ(CEMRRemoteError().GetError(), kPasswordExpiredMessage);
  ScopedBstr wrong(u"12345");
  pass = VARIANT_TRUE;
  EXPECT_EQ(library->IsPass(code.get(), wrong.get(), &pass), S_OK);
  EXPECT_EQ(pass, VARIANT_FALSE);
  library->Release();
}

}  // namespace
