// Transformations as a hospital's host application makes them: 8 threads of a host process call
// report transformations side by side, in a small host (6 MB) and in one that holds 2 GB of its
// own, and beside a thread of the host that allocates, forks a child every 5 ms and reaps it. Each
// page is made by the transformation worker (BM_WorkerPage) and, as the baseline, by libxslt in
// the calling process itself (BM_InProcessPage), from the same texts: a 20-row ward list and a
// 20,000-row one. The host thread's longest malloc is reported as host_malloc_max_us.
//
// BM_DensestReportMemory streams the densest report the content bound admits (260,000 rows of 20
// one-character cells) to the worker and reports the host's peak resident memory and the
// transformation process's peak proportional set size.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/ward_list_page.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "platform/xml/testing/worker_processes.h"

namespace {

using korvalis::bench::kWardListStyle;
using korvalis::bench::WardList;

// Memory the host holds of its own, resident: `megabytes` touched once.
void HoldHostMemory(std::size_t megabytes) {
  static std::vector<char> held;
  if (held.size() == (megabytes << 20)) return;
  std::vector<char>().swap(held);
  held.assign(megabytes << 20, 1);
}

// A thread of the host beside the calls: it allocates, forks a child every 5 ms and reaps it, and
// keeps its longest malloc.
class HostActivity {
 public:
  HostActivity() : thread_([this] { Run(); }) {}
  ~HostActivity() {
    stop_ = true;
    thread_.join();
  }
  double LongestMallocMicroseconds() const { return longest_us_.load(); }

 private:
  void Run() {
    auto next_fork = std::chrono::steady_clock::now();
    while (!stop_) {
      const auto start = std::chrono::steady_clock::now();
      void* block = std::malloc(64 * 1024);
      const double took =
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
              .count();
      std::memset(block, 1, 64 * 1024);
      std::free(block);
      if (took > longest_us_.load()) longest_us_ = took;
      if (std::chrono::steady_clock::now() >= next_fork) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        if (child > 0) ::waitpid(child, nullptr, 0);
        next_fork += std::chrono::milliseconds(5);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  std::atomic<bool> stop_{false};
  std::atomic<double> longest_us_{0};
  std::thread thread_;
};

HostActivity* activity = nullptr;

// range(1): the host's own megabytes; range(2): 1 when a thread of the host works beside.
void StartHost(benchmark::State& state) {
  if (state.thread_index() != 0) return;
  HoldHostMemory(static_cast<std::size_t>(state.range(1)));
  if (state.range(2) != 0) activity = new HostActivity;
}

void StopHost(benchmark::State& state) {
  if (state.thread_index() != 0 || activity == nullptr) return;
  state.counters["host_malloc_max_us"] = activity->LongestMallocMicroseconds();
  delete activity;
  activity = nullptr;
}

// The baseline: the same texts parsed and transformed by libxslt in the calling thread.
std::string TransformInProcess(const std::string& source, const std::string& stylesheet) {
  xmlDocPtr style_doc = xmlReadMemory(stylesheet.data(), static_cast<int>(stylesheet.size()),
                                      nullptr, "UTF-8", XML_PARSE_NONET | XML_PARSE_NOBLANKS);
  xmlDocPtr source_doc = xmlReadMemory(source.data(), static_cast<int>(source.size()), nullptr,
                                       "UTF-8", XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
  xsltStylesheetPtr style = xsltParseStylesheetDoc(style_doc);
  xmlDocPtr result = xsltApplyStylesheet(style, source_doc, nullptr);
  xmlChar* page = nullptr;
  int length = 0;
  xsltSaveResultToString(&page, &length, result, style);
  std::string text(reinterpret_cast<const char*>(page), static_cast<std::size_t>(length));
  xmlFree(page);
  xmlFreeDoc(result);
  xmlFreeDoc(source_doc);
  xsltFreeStylesheet(style);
  return text;
}

void BM_InProcessPage(benchmark::State& state) {
  static std::once_flag started;
  std::call_once(started, [] { korvalis::xml::EnsureLibraryStarted(); });
  const std::string source = WardList(static_cast<int>(state.range(0)));
  StartHost(state);
  for (auto _ : state) benchmark::DoNotOptimize(TransformInProcess(source, kWardListStyle));
  StopHost(state);
}

void BM_WorkerPage(benchmark::State& state) {
  const std::u16string source = korvalis::FromUtf8(WardList(static_cast<int>(state.range(0))));
  const std::u16string stylesheet = korvalis::FromUtf8(kWardListStyle);
  StartHost(state);
  for (auto _ : state) {
    ContentTransformation transformation(stylesheet, {u"failed", u"not loaded", u"not loaded"});
    transformation.AppendSource(source);
    benchmark::DoNotOptimize(transformation.Finish());
  }
  StopHost(state);
}

// Rows x host megabytes x a host thread working beside.
void Shapes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Args({20, 0, 0})->Args({20, 2048, 0})->Args({20000, 0, 0})->Args({20, 0, 1})
      ->Threads(1)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_InProcessPage)->Apply(Shapes);
BENCHMARK(BM_WorkerPage)->Apply(Shapes);

// The children of every thread of `pid`.
std::vector<std::string> ChildrenOf(const std::string& pid) {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error)) {
    std::ifstream children(task.path() / "children");
    for (std::string child; children >> child;) found.push_back(child);
  }
  return found;
}

// The processes the worker has forked: the children of this process's children.
std::vector<std::string> Grandchildren() {
  std::vector<std::string> found;
  for (const std::string& child : ChildrenOf(std::to_string(::getpid()))) {
    for (const std::string& grandchild : ChildrenOf(child)) found.push_back(grandchild);
  }
  return found;
}

void BM_DensestReportMemory(benchmark::State& state) {
  const std::u16string stylesheet = korvalis::FromUtf8(kWardListStyle);
  std::u16string row = u"<patient";
  for (char c = 'a'; c < 'a' + 19; ++c) row += u" " + std::u16string(1, char16_t(c)) + u"='x'";
  row += u">y</patient>";
  for (auto _ : state) {
    std::atomic<bool> done{false};
    std::atomic<std::size_t> child_peak_kb{0};
    std::thread sampler([&] {
      while (!done) {
        for (const std::string& pid : Grandchildren()) {
          const std::size_t pss = korvalis::xml::testing::ProcKilobytes("/proc/" + pid + "/smaps_rollup", "Pss:");
          if (pss > child_peak_kb) child_peak_kb = pss;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    ContentTransformation transformation(stylesheet, {u"failed", u"not loaded", u"not loaded"});
    transformation.AppendSource(u"<root>");
    for (int i = 0; i < 260'000; ++i) transformation.AppendSource(row);
    transformation.AppendSource(u"</root>");
    try {
      benchmark::DoNotOptimize(transformation.Finish());
    } catch (const CEMRException& refused) {
      state.SkipWithError(korvalis::ToUtf8(refused.GetText()).c_str());
    }
    done = true;
    sampler.join();
    state.counters["host_peak_MB"] = korvalis::xml::testing::ProcKilobytes("/proc/self/status", "VmHWM:") / 1024.0;
    state.counters["transformation_pss_MB"] = child_peak_kb / 1024.0;
  }
}
BENCHMARK(BM_DensestReportMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
