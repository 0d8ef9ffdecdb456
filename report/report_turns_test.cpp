// Reports run side by side, as many users of one hospital run them: each waits for its turn
// among the process's transformations only once its rows are read, and no one report takes
// every turn. The turns are held by the test itself, or observed held, before a report runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/call_scope.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/db/testing/engine_database.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"
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

// A turn of the process's transformations, held by the test for a style sheet of its own
// (`name`, never taken before: a style sheet that once held its turn long counts as long work,
// which may not take the last turn); empty when it could not be had within `wait`.
xml::TransformationTurns::Turn HeldTurn(const std::string& name,
                                        milliseconds wait = milliseconds(30'000)) {
  static std::atomic<int> taken{0};
  return xml::ProcessTransformationTurns().Take(
      xml::TransformationTurns::StyleOf("held by the test: " + name + " #" +
                                        std::to_string(taken++)),
      std::chrono::steady_clock::now() + wait);
}

// True once every turn of the process is held (a probe for one more is refused at once),
// within `until`.
bool EveryTurnHeldBy(std::chrono::steady_clock::time_point until) {
  do {
    if (!HeldTurn("probe", milliseconds(0)).held()) return true;
    std::this_thread::sleep_for(milliseconds(10));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

// Every turn is held by long work, for as long as a large report whose style sheet is known to
// run long runs: its statement reads all its rows untouched, and only its transformation waits,
// then is refused as never started.
TEST_P(ReportTurnsTest, AReportWaitsForItsTurnOnlyOnceItsRowsAreRead) {
  static std::atomic<int> next_mark{400};
  constexpr LONG kLargeRunaway = 4, kSmallRunaway = 5;
  const std::u16string runaway = FromUtf8(xml::testing::RunawayStyle(next_mark++));
  DefineReport(database_, kLargeRunaway, false, kLargeSql, u"patient,bed", runaway);
  DefineReport(database_, kSmallRunaway, false, kSmallSql, u"patient,bed", runaway);
  ASSERT_EQ(Run(kSmallRunaway, 3), TimedOut(3));  // its style sheet is known long from now on
  datasource::testing::EventLogCapture events;
  {
    std::vector<xml::TransformationTurns::Turn> held;
    for (int i = 0; i < xml::ProcessTransformationTurns().capacity(); ++i) {
      held.push_back(HeldTurn(std::to_string(i)));
      ASSERT_TRUE(held.back().held());
    }
    std::this_thread::sleep_for(xml::kLongWork);  // the turns held are long work now
    EXPECT_EQ(Run(kLargeRunaway, 3), Busy(3));
  }
  for (const sys::EventRecord& record : events.Records()) {
    EXPECT_EQ(record.text.find(u"ORA-01013"), std::u16string::npos) << ToUtf8(record.text);
  }
  std::u16string page;
  EXPECT_EQ(Run(kLarge, 5, &page), u"");
  EXPECT_EQ(page, u"20000");
}

// One report that runs away, run by more threads than there are turns, holds its share of the
// turns and leaves one to the other reports of the process, which go on answering.
TEST_P(ReportTurnsTest, ARunawayReportRunByEveryThreadLeavesOtherReportsAnswering) {
  // Kept from the runaways until they hold every other turn.
  xml::TransformationTurns::Turn kept = HeldTurn("kept");
  ASSERT_TRUE(kept.held());
  const int runaway_threads = xml::ProcessTransformationTurns().capacity() + 1;
  std::vector<std::u16string> runaway_failures(runaway_threads);
  std::vector<std::thread> threads;
  for (int i = 0; i < runaway_threads; ++i) {
    threads.emplace_back([&, i] { runaway_failures[i] = Run(kRunaway, 4); });
  }
  const bool share_held = EveryTurnHeldBy(std::chrono::steady_clock::now() + milliseconds(3'500));
  EXPECT_TRUE(share_held) << "the runaways never held their share of the turns";
  kept.Release();
  for (int i = 0; share_held && i < 5; ++i) {
    std::u16string page;
    EXPECT_EQ(Run(kSmall, 2, &page), u"");
    EXPECT_EQ(page, u"20");
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::u16string& failure : runaway_failures) {
    EXPECT_TRUE(failure == TimedOut(4) || failure == Busy(4)) << ToUtf8(failure);
  }
}

// Reports whose style sheets run away and were never run before, twice as many as the turns, hold
// every turn and wait for more: a small report known short answers beside them, each call well
// within its time limit, however long the runaways have to run.
TEST_P(ReportTurnsTest, NewRunawaySheetsOnEveryTurnLeaveSmallReportsAnswering) {
  static std::atomic<int> next_mark{500};
  const int capacity = xml::ProcessTransformationTurns().capacity();
  std::vector<LONG> runaways;
  for (int i = 0; i < 2 * capacity; ++i) {
    runaways.push_back(100 + i);
    DefineReport(database_, runaways.back(), false, kSmallSql, u"patient,bed",
                 FromUtf8(xml::testing::RunawayStyle(next_mark++)));
  }
  ASSERT_EQ(Run(kSmall, 5), u"");  // known short, as a ward's report is
  std::vector<std::u16string> failures(runaways.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < runaways.size(); ++i) {
    threads.emplace_back([&, i] { failures[i] = Run(runaways[i], 8); });
  }
  const bool every_turn_held = xml::testing::Within(std::chrono::seconds(5), [&] {
    return xml::testing::WorkingChildrenOf(xml::testing::Worker()).size() >=
           static_cast<std::size_t>(capacity);
  });
  EXPECT_TRUE(every_turn_held) << "the runaways never held every turn";
  for (int call = 0; call < 5; ++call) {
    std::u16string page;
    EXPECT_EQ(Run(kSmall, 3, &page), u"") << "call " << call;
    EXPECT_EQ(page, u"20");
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::u16string& failure : failures) {
    EXPECT_TRUE(failure == TimedOut(8) || failure == Busy(8)) << ToUtf8(failure);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ReportTurnsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::report::testing
