#include "foundation/calls/work_bounds.h"

#include <gtest/gtest.h>

#include "foundation/calls/call_scope.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::TransformationTimeLimit;
using korvalis::datasource::testing::ScratchDatabase;
using std::chrono::seconds;

class TransformationTimeLimitTest : public ::testing::TestWithParam<korvalis::db::Engine> {
 protected:
  CCommDataSource Source(const char16_t* command_timeout) {
    return CCommDataSource(database_.connection_string() + u";Command Timeout=" + command_timeout,
                           u"oracle");
  }
  static void Read(CCommDataSource& source) {
    std::u16string count;
    source.QueryScalar(u"SELECT COUNT(*) FROM PEV_RULE", count);
  }

  ScratchDatabase database_{GetParam()};
};

TEST_P(TransformationTimeLimitTest, OutsideACallItIsTheDefault) {
  EXPECT_EQ(TransformationTimeLimit(), korvalis::kDefaultCommandSeconds);
  CCommDataSource source = Source(u"5");
  Read(source);
  EXPECT_EQ(TransformationTimeLimit(), korvalis::kDefaultCommandSeconds);
}

TEST_P(TransformationTimeLimitTest, AReadingCallHasItsCommandTimeoutUntilItWrites) {
  CCallScope call(CCallScope::Mode::kReading);
  CCommDataSource source = Source(u"45");
  EXPECT_EQ(TransformationTimeLimit(), korvalis::kDefaultCommandSeconds) << "no database yet";
  Read(source);
  EXPECT_EQ(TransformationTimeLimit(), seconds(45));
  source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
  EXPECT_EQ(TransformationTimeLimit(), korvalis::kWritersWaitSeconds);
}

TEST_P(TransformationTimeLimitTest, AReadingCallWithoutBoundIsUnbounded) {
  CCallScope call(CCallScope::Mode::kReading);
  CCommDataSource source = Source(u"0");
  Read(source);
  EXPECT_EQ(TransformationTimeLimit(), seconds(0));
}

// The bound that applied is named, as a refusal names it.
TEST_P(TransformationTimeLimitTest, AWritingCallIsBoundedByTheWritersWait) {
  using korvalis::kCommandTimeoutBound, korvalis::kWritersWaitBound;
  struct Case {
    const char16_t* command_timeout;
    seconds limit;
    std::u16string_view bound;
  };
  for (const Case& expected : {Case{u"0", korvalis::kWritersWaitSeconds, kWritersWaitBound},
                               Case{u"300", seconds(30), kWritersWaitBound},
                               Case{u"10", seconds(10), kCommandTimeoutBound}}) {
    CCallScope call(CCallScope::Mode::kWriting);
    CCommDataSource source = Source(expected.command_timeout);
    Read(source);
    // A nested call reads its outer call's databases.
    CCallScope nested(CCallScope::Mode::kReading);
    EXPECT_EQ(TransformationTimeLimit(), expected.limit)
        << korvalis::ToUtf8(expected.command_timeout);
    EXPECT_EQ(korvalis::TransformationTimeBound().name, expected.bound);
  }
}

// On the server a transformation of a call holding the writers' turn ends before the session
// would be ended as idle; the file has no idle bound.
TEST_P(TransformationTimeLimitTest, AWritingCallEndsItsWorkBeforeTheIdleBound) {
  const bool server = GetParam() == korvalis::db::Engine::kPostgres;
  for (const auto& [idle, limit] :
       {std::pair{u"10", seconds(9)}, std::pair{u"1", seconds(1)}, std::pair{u"0", seconds(30)}}) {
    CCallScope call(CCallScope::Mode::kWriting);
    const std::u16string idle_item =
        server ? std::u16string(u";Idle Transaction Timeout=") + idle : std::u16string();
    CCommDataSource source(
        database_.connection_string() + u";Command Timeout=300" + idle_item, u"oracle");
    Read(source);
    EXPECT_EQ(TransformationTimeLimit(), server ? limit : seconds(30))
        << korvalis::ToUtf8(idle);
    EXPECT_EQ(std::u16string_view(korvalis::TransformationTimeBound().name),
              server && limit < seconds(30) ? korvalis::kIdleTransactionBound
                                            : korvalis::kWritersWaitBound);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, TransformationTimeLimitTest,
                         korvalis::db::testing::kBothEngines, korvalis::db::testing::EngineName);

}  // namespace
