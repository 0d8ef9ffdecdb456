#include "lookups/sys_param.h"

#include <gtest/gtest.h>

#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::schema::TestDatabase;
using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::TestDataSource;

class SysParamTest : public ::testing::Test {
 protected:
  // The parameter as GetSysParam answers it; the BSTR is checked not to be null.
  std::u16string Param(CSingleDataSource* data_source, BSTR name) {
    ScopedBstr value;
    EXPECT_EQ(GetSysParam(data_source, name, value.out()), 0);
    EXPECT_NE(value.get(), nullptr);
    return value.text();
  }
  std::u16string Param(const std::u16string& name) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr bstr_name(name);
    return Param(&data_source, bstr_name.get());
  }

  TestDatabase db_;
};

TEST_F(SysParamTest, ANullOrEmptyNameAnswersEmptyWithoutTheDatabase) {
  TestDataSource unreachable(kUnreachableDatabase);
  ScopedBstr empty(u"");
  EXPECT_EQ(Param(&unreachable, nullptr), u"");
  EXPECT_EQ(Param(&unreachable, empty.get()), u"");
  EXPECT_EQ(GetSysParam(unreachable, u""), u"");
  // A real name does reach the database, whose failure passes through.
  ScopedBstr name(u"system_age_format");
  EXPECT_EQ(FailureOf([&] { Param(&unreachable, name.get()); }), kDatabaseErrorMessage);
}

TEST_F(SysParamTest, AnswersTheValueReadAfreshOnEveryCall) {
  EXPECT_EQ(Param(u"system_age_format"), u"1;168;0");
  db_.SetSysParam("system_age_format", "2;100;0");
  EXPECT_EQ(Param(u"system_age_format"), u"2;100;0");
  TestDataSource data_source(db_.init_string());
  EXPECT_EQ(GetSysParam(data_source, u"system_age_format"), u"2;100;0");
}

TEST_F(SysParamTest, MissingOrNullValuesAreEmptyAndTheFirstOfTwoRowsWins) {
  EXPECT_EQ(Param(u"no_such_parameter"), u"");
  EXPECT_EQ(Param(u"system_version"), u"");  // installed without a value
  db_.Execute("INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('twice', 'first')");
  db_.Execute("INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('twice', 'second')");
  EXPECT_EQ(Param(u"twice"), u"first");
}

TEST_F(SysParamTest, ANameHoldingAQuoteFindsItsRow) {
  db_.SetSysParam("it's", "quoted");
  EXPECT_EQ(Param(u"it's"), u"quoted");
  EXPECT_EQ(Param(u"x' OR '1'='1"), u"");
}

TEST(SystemDateTimeStringTest, IsTheDateTimeComponentsText) {
  korvalis::suite::testing::SiblingDoubles doubles;
  doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
  EXPECT_EQ(GetSystemDateTimeString(nullptr), u"2026-12-07 09:30:00");
  doubles.Fail(IID_IDateTimeService, 7, E_FAIL, u"时钟故障");
  EXPECT_EQ(FailureOf([] { GetSystemDateTimeString(nullptr); }), u"时钟故障");
}

}  // namespace
