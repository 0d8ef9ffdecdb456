// Reports run side by side, as many users of one hospital run them: each waits for its turn
// among the process's transformations only once its rows are read, and no one report takes
// every turn.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/call_scope.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/db/testing/engine_database.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/transformation_turns.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

using std::chrono::milliseconds;

// The rows counted: the page of a report's rows named `patient`.
constexpr char16_t kCountStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    u"<xsl:output method='text'/><xsl:template match='/'>"
    u"<xsl:value-of select='count(root/patient)'/></xsl:template></xsl:stylesheet>";
// 20,000 rows: a data document of about 1.5 MB, far more than is held before it is streamed.
constexpr char16_t kLargeSql[] =
    u"SELECT '患者' || LEVEL, MOD(LEVEL, 60) + 1 FROM DUAL CONNECT BY LEVEL <= 20000";
constexpr char16_t kSmallSql[] = u"SELECT '患者' || LEVEL, 1 FROM DUAL CONNECT BY LEVEL <= 20";

constexpr LONG kLarge = 1, kSmall = 2, kRunaway = 3;

std::u16string TimedOut(int seconds) {
  return kTransformTimedOutPrefix + std::u16string(u"Command Timeout ") +
         FromUtf8(std::to_string(seconds)) + kTransformTimedOutSuffix;
}
std::u16string Busy(int seconds) {
  return kTransformBusyPrefix + std::u16string(u"Command Timeout ") +
         FromUtf8(std::to_string(seconds)) + kTransformBusySuffix;
}

class ReportTurnsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    DefineReport(database_, kLarge, false, kLargeSql, u"patient,bed", kCountStyle);
    DefineReport(database_, kSmall, false, kSmallSql, u"patient,bed", kCountStyle);
    DefineReport(database_, kRunaway, false, kSmallSql, u"patient,bed",
                 FromUtf8(xml::testing::RunawayStyle(0)));
  }
  // Runs report `id` as one reading call at Command Timeout `seconds`: its failure, or "" with
  // its page in *page.
  std::u16string Run(LONG id, int seconds, std::u16string* page = nullptr) {
    CCallScope call(CCallScope::Mode::kReading);
    korvalis::testing::TestDataSource source(database_.init_string() +
                                             ";Command Timeout=" + std::to_string(seconds));
    ScopedBstr request(u""), client(kClient), result;
    const std::u16string failure = FailureOf([&] {
      CBEMRReport::GetReportContent(&source, id, request.get(), client.get(), result.out());
    });
    if (failure.empty() && page != nullptr) *page = UnpackEmrContent(result.get());
    return failure;
  }

  schema::TestDatabase database_{schema::DatabaseContents::kInstallation, GetParam()};
};

// Every turn is held by transformations that outlast the report's Command Timeout: its
// statement reads all its rows untouched, and only its transformation waits, then is refused as
// never started.
TEST_P(ReportTurnsTest, AReportWaitsForItsTurnOnlyOnceItsRowsAreRead) {
  datasource::testing::EventLogCapture events;
  xml::testing::RunawayTransformations runaways(xml::ProcessTransformationTurns().capacity(),
                                                false, milliseconds(3'000));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(kLarge, 1), Busy(1));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2'500));
  for (const sys::EventRecord& record : events.Records()) {
    EXPECT_EQ(record.text.find(u"ORA-01013"), std::u16string::npos) << ToUtf8(record.text);
  }
  runaways.Outcomes();
  std::u16string page;
  EXPECT_EQ(Run(kLarge, 5, &page), u"");
  EXPECT_EQ(page, u"20000");
}

// One report that runs away, run by more threads than there are turns, leaves a turn to the
// other reports of the process, which go on answering.
TEST_P(ReportTurnsTest, ARunawayReportRunByEveryThreadLeavesOtherReportsAnswering) {
  const int runaway_threads = xml::ProcessTransformationTurns().capacity() + 1;
  std::vector<std::u16string> runaway_failures(runaway_threads);
  std::vector<std::thread> threads;
  for (int i = 0; i < runaway_threads; ++i) {
    threads.emplace_back([&, i] { runaway_failures[i] = Run(kRunaway, 2); });
  }
  std::this_thread::sleep_for(milliseconds(300));
  int answered = 0;
  for (auto end = std::chrono::steady_clock::now() + milliseconds(1'200);
       std::chrono::steady_clock::now() < end;) {
    std::u16string page;
    const std::u16string failure = Run(kSmall, 2, &page);
    EXPECT_EQ(failure, u"");
    if (!failure.empty()) break;
    EXPECT_EQ(page, u"20");
    ++answered;
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_GE(answered, 5);
  for (const std::u16string& failure : runaway_failures) {
    EXPECT_TRUE(failure == TimedOut(2) || failure == Busy(2)) << ToUtf8(failure);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ReportTurnsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::report::testing
