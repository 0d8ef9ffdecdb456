// Reports and transformations run side by side from many threads of one host, as the users of a
// hospital run them, on the embedded database at Command Timeout 5 s:
//   - BM_LargeReportFromManyThreads: 32 threads each run a 20,000-row report 5 times; every call
//     should answer (`failed` counts those refused, `database_errors` those told "数据库错误",
//     `busy` those that never had a turn, and the label quotes the first refusal), how long the
//     calls took (`p50_s`, `p90_s`), and the most transformation processes alive at once with
//     their proportional memory.
//   - BM_SmallReportsBesideARunawayReport: 8 threads run a report whose style sheet runs away,
//     while 4 threads run a 20-row report until the runaways have ended: `small_failed` should
//     stay 0.
//   - BM_SmallTransformationsFromManyThreads: 32 threads transform a small text for 3 s, each
//     bounded at 2 s: how the turns were spread (`fewest` and `most` of one thread, `refused`).
//   - BM_MemoryAfterLargeReports: 3 rounds of 8 threads x 4 calls of the 20,000-row report (or
//     the 8,000-row one, whose transformations stay small enough for their children to serve
//     again), each
//     followed by 8 small reports at once (on the children the large ones left) and 8 more;
//     their mean times (`small_after_large_ms`, `small_after_small_ms`: within 2x), then the
//     proportional memory of the worker's tree after 10 idle seconds (`idle_tree_MB`: under 64).
//   - BM_SmallReportsBesideRunawaySheets: 4 style sheets that run away, each on 2 threads, beside
//     8 threads of 20-row reports for 15 s: the small reports answered and their 50th and 90th
//     percentile times (`small_p90_ms`: under 100).
//   - BM_SmallReportsBesideEightRunawaySheets: 8 style sheets that run away, each on a thread of
//     its own, and, once each has run away once, 8 threads of 20-row reports for 30 s: the small
//     reports answered, those refused (`small_failed`: 0), the longest (`small_max_ms`) and those
//     over a second (`small_over_1s`: 0).
//   - BM_SmallReportsBesideNewRunawaySheets/N: at the default Command Timeout, N threads each
//     looping a style sheet of its own that runs away and was never run before, and from the same
//     moment 8 threads of the 20-row report (run once before, as a ward's is every day) for
//     30 s: the small reports answered, those refused (`small_failed`: 0), the longest
//     (`small_max_ms`: under 4,000) and the most transformations at work at once
//     (`working_peak`). The runaways are ended by killing their processes.
#include <benchmark/benchmark.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/database_file.h"
#include "db/testing/temp_directory.h"
#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/call_scope.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"
#include "report/emr_report.h"

namespace {

using korvalis::com::ScopedBstr;
using std::chrono::milliseconds;

constexpr LONG kLarge = 1, kSmall = 2, kRunaway = 3, kMedium = 7;
// Reports whose style sheets run away, each its own: kRunaway and these.
constexpr LONG kOtherRunaways[] = {4, 5, 6};
constexpr LONG kMoreRunaways[] = {8, 9, 10, 11};
constexpr char16_t kClient[] =
    u"<root><user id='1002'>刘静怡</user><dept id='0101'>心血管内科</dept></root>";
constexpr char16_t kTableStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    u"<xsl:output method='html' encoding='UTF-8'/><xsl:template match='/root'><HTML><BODY>"
    u"<TABLE><xsl:for-each select='patient'><TR><TD><xsl:value-of select='.'/></TD>"
    u"<TD><xsl:value-of select='@bed'/></TD><TD><xsl:value-of select='@doctor'/></TD></TR>"
    u"</xsl:for-each></TABLE></BODY></HTML></xsl:template></xsl:stylesheet>";

std::u16string Rows(int count) {
  return u"SELECT '患者' || LEVEL, MOD(LEVEL, 60) + 1, '医生' || MOD(LEVEL, 37) FROM DUAL "
         u"CONNECT BY LEVEL <= " + korvalis::FromUtf8(std::to_string(count));
}

// The reports' database, at Command Timeout 5 s.
class ReportDatabase {
 public:
  ReportDatabase() {
    database_ = korvalis::schema::CreateDatabaseFile(scratch_.path() + "/hospital.db",
                                                     korvalis::schema::DatabaseContents::kInstallation);
    init_string_ = database_ + ";Command Timeout=5";
    Define(kLarge, Rows(20'000), kTableStyle);
    Define(kSmall, Rows(20), kTableStyle);
    Define(kMedium, Rows(8'000), kTableStyle);
    Define(kRunaway, Rows(20), korvalis::FromUtf8(korvalis::xml::testing::RunawayStyle(0)));
    int mark = 1;
    for (const LONG id : kOtherRunaways) {
      Define(id, Rows(20), korvalis::FromUtf8(korvalis::xml::testing::RunawayStyle(mark++)));
    }
    for (const LONG id : kMoreRunaways) {
      Define(id, Rows(20), korvalis::FromUtf8(korvalis::xml::testing::RunawayStyle(mark++)));
    }
  }

  // Runs report `id` as one reading call, at Command Timeout 5 s or at the default: its
  // failure, or "" when it answers a page.
  std::u16string Run(LONG id, bool default_timeout = false) const {
    CCallScope call(CCallScope::Mode::kReading);
    korvalis::testing::TestDataSource source(default_timeout ? database_ : init_string_);
    ScopedBstr request(u""), client(kClient), result;
    try {
      CBEMRReport::GetReportContent(&source, id, request.get(), client.get(), result.out());
    } catch (const CEMRException& refused) {
      return refused.GetText();
    }
    return UnpackEmrContent(result.get()).empty() ? u"empty page" : u"";
  }

  // Defines `count` reports of 20 rows whose style sheets run away, none run before: their ids.
  std::vector<LONG> NewRunaways(int count) const {
    static int next = 100;
    std::vector<LONG> ids;
    for (int i = 0; i < count; ++i, ++next) {
      Define(next, Rows(20), korvalis::FromUtf8(korvalis::xml::testing::RunawayStyle(next)));
      ids.push_back(next);
    }
    return ids;
  }

 private:
  void Define(LONG id, const std::u16string& sql, const std::u16string& style) const {
    korvalis::testing::TestDataSource source(init_string_);
    source.Execute(u"INSERT INTO TELV_REPORT (ID, NAME, CATALOG_ID, SORT, STATUS, NEW_FORMAT) "
                   u"VALUES (" + korvalis::FromUtf8(std::to_string(id)) + u", '报表', 1, 0, 1, 0)");
    ScopedBstr text(sql), names(u"patient,bed,doctor"), none(u""), xslt(style);
    CBEMRReport::SetReportSQL(&source, id, text.get());
    CBEMRReport::SetSQLProperty(&source, id, names.get());
    CBEMRReport::SetSQLParam(&source, id, none.get());
    CBEMRReport::SetReportXSLT(&source, id, xslt.get());
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-report-turns"};
  std::string database_;  // at the default Command Timeout
  std::string init_string_;
};

const ReportDatabase& Reports() {
  static const ReportDatabase* reports = new ReportDatabase;
  return *reports;
}

bool StartsWith(const std::u16string& text, std::u16string_view start) {
  return text.compare(0, start.size(), start) == 0;
}

void BM_LargeReportFromManyThreads(benchmark::State& state) {
  const ReportDatabase& reports = Reports();
  for (auto _ : state) {
    std::atomic<int> failed{0}, database_errors{0}, busy{0};
    std::atomic<bool> answered{false};
    std::size_t most_processes = 0, most_kb = 0;
    std::thread sampler([&] {
      using korvalis::xml::testing::ChildrenOf;
      using korvalis::xml::testing::ProcKilobytes;
      while (!answered) {
        std::size_t kb = 0;
        const std::vector<pid_t> children = ChildrenOf(korvalis::xml::testing::Worker());
        for (pid_t child : children) {
          kb += ProcKilobytes("/proc/" + std::to_string(child) + "/smaps_rollup", "Pss:");
        }
        most_processes = std::max(most_processes, children.size());
        most_kb = std::max(most_kb, kb);
        std::this_thread::sleep_for(milliseconds(20));
      }
    });
    std::mutex calls_mutex;
    std::vector<double> seconds;
    std::u16string first_failure;
    std::vector<std::thread> threads;
    for (int t = 0; t < 32; ++t) {
      threads.emplace_back([&] {
        for (int call = 0; call < 5; ++call) {
          const auto start = std::chrono::steady_clock::now();
          const std::u16string failure = reports.Run(kLarge);
          const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
          std::lock_guard<std::mutex> lock(calls_mutex);
          seconds.push_back(took.count());
          if (failure.empty()) continue;
          if (first_failure.empty()) first_failure = failure;
          ++failed;
          if (StartsWith(failure, u"数据库错误")) ++database_errors;
          if (StartsWith(failure, u"转换未开始")) ++busy;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    answered = true;
    sampler.join();
    std::sort(seconds.begin(), seconds.end());
    state.counters["p50_s"] = seconds[seconds.size() / 2];
    state.counters["p90_s"] = seconds[seconds.size() * 9 / 10];
    state.SetLabel(korvalis::ToUtf8(first_failure));
    state.counters["calls"] = 160;
    state.counters["processes_peak"] = static_cast<double>(most_processes);
    state.counters["processes_pss_peak_MB"] = static_cast<double>(most_kb) / 1024.0;
    state.counters["failed"] = failed.load();
    state.counters["database_errors"] = database_errors.load();
    state.counters["busy"] = busy.load();
  }
}
BENCHMARK(BM_LargeReportFromManyThreads)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_SmallReportsBesideARunawayReport(benchmark::State& state) {
  const ReportDatabase& reports = Reports();
  for (auto _ : state) {
    std::atomic<int> runaways_left{8}, stopped{0}, busy{0}, small_answered{0}, small_failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&] {
        const std::u16string failure = reports.Run(kRunaway);
        if (StartsWith(failure, u"转换超过时限")) ++stopped;
        if (StartsWith(failure, u"转换未开始")) ++busy;
        --runaways_left;
      });
    }
    std::this_thread::sleep_for(milliseconds(200));
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        while (runaways_left > 0) ++(reports.Run(kSmall).empty() ? small_answered : small_failed);
      });
    }
    for (std::thread& thread : threads) thread.join();
    state.counters["runaway_stopped"] = stopped.load();
    state.counters["runaway_busy"] = busy.load();
    state.counters["small_answered"] = small_answered.load();
    state.counters["small_failed"] = small_failed.load();
  }
}
BENCHMARK(BM_SmallReportsBesideARunawayReport)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_SmallTransformationsFromManyThreads(benchmark::State& state) {
  const std::string style =
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:output method=\"text\"/><xsl:template match=\"/\"><xsl:value-of select=\"r/v * 6\"/>"
      "</xsl:template></xsl:stylesheet>";
  for (auto _ : state) {
    std::vector<int> done(32), refused(32);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 32; ++t) {
      threads.emplace_back([&, t] {
        while (!stop) {
          std::string page;
          const auto outcome = korvalis::xml::TransformText(
              "<r><v>7</v></r>", korvalis::xml::TextWriter::kCaller, style,
              korvalis::xml::TextWriter::kCaller, korvalis::xml::testing::LimitsWithin(milliseconds(2'000)),
              page);
          ++(outcome == korvalis::xml::TransformOutcome::kDone ? done[t] : refused[t]);
        }
      });
    }
    std::this_thread::sleep_for(milliseconds(3'000));
    stop = true;
    for (std::thread& thread : threads) thread.join();
    int all_done = 0, all_refused = 0;
    for (int t = 0; t < 32; ++t) {
      all_done += done[t];
      all_refused += refused[t];
    }
    state.counters["done"] = all_done;
    state.counters["refused"] = all_refused;
    state.counters["fewest"] = *std::min_element(done.begin(), done.end());
    state.counters["most"] = *std::max_element(done.begin(), done.end());
  }
}
BENCHMARK(BM_SmallTransformationsFromManyThreads)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs report `id` once on each of `threads` threads at once: the mean time of a call, in ms.
double MeanOfCallsAtOnce(const ReportDatabase& reports, LONG id, int threads) {
  std::vector<double> times(static_cast<std::size_t>(threads));
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) {
    running.emplace_back([&, t] {
      const Clock::time_point start = Clock::now();
      reports.Run(id);
      times[static_cast<std::size_t>(t)] = MillisecondsSince(start);
    });
  }
  for (std::thread& thread : running) thread.join();
  double sum = 0;
  for (const double time : times) sum += time;
  return sum / threads;
}

// The proportional memory of this process's worker and its children, in MB.
double WorkerTreeMegabytes() {
  using korvalis::xml::testing::ProcKilobytes;
  const pid_t worker = korvalis::xml::testing::Worker();
  if (worker == 0) return 0;
  std::vector<pid_t> tree = korvalis::xml::testing::ChildrenOf(worker);
  tree.push_back(worker);
  std::size_t kb = 0;
  for (pid_t pid : tree)
    kb += ProcKilobytes("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss:");
  return static_cast<double>(kb) / 1024.0;
}

void BM_MemoryAfterLargeReports(benchmark::State& state) {
  const ReportDatabase& reports = Reports();
  for (auto _ : state) {
    double after_large = 0, after_small = 0;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
      std::vector<std::thread> threads;
      for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
          for (int call = 0; call < 4; ++call) reports.Run(static_cast<LONG>(state.range(0)));
        });
      }
      for (std::thread& thread : threads) thread.join();
      after_large += MeanOfCallsAtOnce(reports, kSmall, 8) / kRounds;
      after_small += MeanOfCallsAtOnce(reports, kSmall, 8) / kRounds;
    }
    state.counters["busy_tree_MB"] = WorkerTreeMegabytes();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    state.counters["idle_tree_MB"] = WorkerTreeMegabytes();
    state.counters["small_after_large_ms"] = after_large;
    state.counters["small_after_small_ms"] = after_small;
  }
}
BENCHMARK(BM_MemoryAfterLargeReports)
    ->Arg(kLarge)
    ->Arg(kMedium)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// Runs each report of `ids` on a thread of its own, again and again until destroyed.
class ReportLoops {
 public:
  ReportLoops(const ReportDatabase& reports, const std::vector<LONG>& ids) {
    for (const LONG id : ids) {
      threads_.emplace_back([this, &reports, id] {
        while (!stop_) reports.Run(id);
      });
    }
  }
  ~ReportLoops() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

// Runs the 20-row report on 8 threads for `duration`: each call's time in ms, sorted, and in
// *failed how many were refused.
std::vector<double> SmallReportTimes(const ReportDatabase& reports, std::chrono::seconds duration,
                                     int* failed, bool default_timeout = false) {
  std::atomic<bool> stop{false};
  std::atomic<int> refused{0};
  std::vector<std::vector<double>> times(8);
  std::vector<std::thread> threads;
  for (std::vector<double>& own : times) {
    threads.emplace_back([&, mine = &own] {
      while (!stop) {
        const Clock::time_point start = Clock::now();
        if (!reports.Run(kSmall, default_timeout).empty()) ++refused;
        mine->push_back(MillisecondsSince(start));
      }
    });
  }
  std::this_thread::sleep_for(duration);
  stop = true;
  for (std::thread& thread : threads) thread.join();
  std::vector<double> all;
  for (const std::vector<double>& some : times) all.insert(all.end(), some.begin(), some.end());
  std::sort(all.begin(), all.end());
  *failed = refused.load();
  return all;
}

void BM_SmallReportsBesideRunawaySheets(benchmark::State& state) {
  const ReportDatabase& reports = Reports();
  for (auto _ : state) {
    std::vector<LONG> runaways;
    for (const LONG id : kOtherRunaways) runaways.insert(runaways.end(), 2, id);
    runaways.insert(runaways.end(), 2, kRunaway);
    ReportLoops loops(reports, runaways);
    std::this_thread::sleep_for(milliseconds(500));
    int failed = 0;
    const std::vector<double> all = SmallReportTimes(reports, std::chrono::seconds(15), &failed);
    state.counters["small_answered"] = static_cast<double>(all.size()) - failed;
    state.counters["small_failed"] = failed;
    state.counters["small_p50_ms"] = all.empty() ? 0 : all[all.size() / 2];
    state.counters["small_p90_ms"] = all.empty() ? 0 : all[all.size() * 9 / 10];
  }
}
BENCHMARK(BM_SmallReportsBesideRunawaySheets)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void BM_SmallReportsBesideEightRunawaySheets(benchmark::State& state) {
  const ReportDatabase& reports = Reports();
  for (auto _ : state) {
    std::vector<LONG> runaways(std::begin(kMoreRunaways), std::end(kMoreRunaways));
    for (const LONG id : kOtherRunaways) runaways.push_back(id);
    runaways.push_back(kRunaway);
    ReportLoops loops(reports, runaways);
    // Past the Command Timeout: each style sheet has run away once and is known for it.
    std::this_thread::sleep_for(milliseconds(6'000));
    int failed = 0;
    const std::vector<double> all = SmallReportTimes(reports, std::chrono::seconds(30), &failed);
    state.counters["small_answered"] = static_cast<double>(all.size()) - failed;
    state.counters["small_failed"] = failed;
    state.counters["small_max_ms"] = all.empty() ? 0 : all.back();
    state.counters["small_over_1s"] = static_cast<double>(
        std::count_if(all.begin(), all.end(), [](double ms) { return ms > 1'000; }));
  }
}
BENCHMARK(BM_SmallReportsBesideEightRunawaySheets)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void BM_SmallReportsBesideNewRunawaySheets(benchmark::State& state) {
  const ReportDatabase& reports = Reports();
  using korvalis::xml::testing::WorkingChildrenOf;
  for (auto _ : state) {
    reports.Run(kSmall, true);
    std::atomic<bool> stop{false};
    std::vector<std::thread> runaways;
    for (const LONG id : reports.NewRunaways(static_cast<int>(state.range(0)))) {
      runaways.emplace_back([&, id] {
        while (!stop) reports.Run(id, true);
      });
    }
    std::atomic<bool> measured{false};
    std::size_t most_working = 0;
    std::thread sampler([&] {
      while (!measured) {
        most_working =
            std::max(most_working, WorkingChildrenOf(korvalis::xml::testing::Worker()).size());
        std::this_thread::sleep_for(milliseconds(50));
      }
    });
    int failed = 0;
    const std::vector<double> all =
        SmallReportTimes(reports, std::chrono::seconds(30), &failed, true);
    measured = true;
    sampler.join();
    // Their Command Timeout is minutes away: their processes are killed, and so end the calls.
    stop = true;
    std::atomic<bool> ended{false};
    std::thread killer([&] {
      while (!ended) {
        for (const pid_t child : WorkingChildrenOf(korvalis::xml::testing::Worker())) {
          ::kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(milliseconds(100));
      }
    });
    for (std::thread& runaway : runaways) runaway.join();
    ended = true;
    killer.join();
    state.counters["small_answered"] = static_cast<double>(all.size()) - failed;
    state.counters["small_failed"] = failed;
    state.counters["small_max_ms"] = all.empty() ? 0 : all.back();
    state.counters["small_p90_ms"] = all.empty() ? 0 : all[all.size() * 9 / 10];
    state.counters["working_peak"] = static_cast<double>(most_working);
  }
}
BENCHMARK(BM_SmallReportsBesideNewRunawaySheets)
    ->Arg(8)
    ->Arg(16)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
