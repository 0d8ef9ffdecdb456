#include "platform/db/testing/function_sweep.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

namespace korvalis::db::testing {
namespace {

using Kind = SweptValue::Kind;

std::string Repeated(std::string_view unit, size_t times) {
  std::string s;
  s.reserve(unit.size() * times);
  for (size_t i = 0; i < times; ++i) s.append(unit);
  return s;
}

// The long values a function works through: texts, documents and models.
std::vector<SweptValue> Subjects(size_t longest) {
  const size_t elements = longest / 4;
  const size_t depth = longest / 7;
  return {
      {"letters", Kind::kText, std::string(longest, 'a')},
      {"ideographs", Kind::kText, Repeated("病", longest / 3)},
      {"digits", Kind::kText, std::string(longest, '9')},
      {"wide document", Kind::kText, "<a>" + Repeated("<b/>", elements - 2) + "</a>"},
      {"deep document", Kind::kText, Repeated("<b>", depth) + Repeated("</b>", depth)},
      {"model of J", Kind::kText, std::string(longest, 'J')},
      {"pattern of a_", Kind::kText, "%" + Repeated("a_", longest / 2) + "b%"},
  };
}

// The values that decide how a function works through its subject.
std::vector<SweptValue> Shapers(size_t longest) {
  return {
      {"'a*(a?){100}[bc]'", Kind::kText, "a*(a?){100}[bc]"},
      {"'(b?)(a*)(a*)(a*)(a*)(a*)'", Kind::kText, "(b?)(a*)(a*)(a*)(a*)(a*)"},
      {"'(a*)*[bc]'", Kind::kText, "(a*)*[bc]"},
      {"'(a|aa)*c'", Kind::kText, "(a|aa)*c"},
      {"'(a+)(a+)b?'", Kind::kText, "(a+)(a+)b?"},
      {"31 a and b", Kind::kText, std::string(31, 'a') + "b"},
      {"long a and b", Kind::kText, std::string(std::min<size_t>(longest, 32766), 'a') + "b"},
      {"'count(//b[count(preceding::b) >= 0])'", Kind::kText,
       "count(//b[count(preceding::b) >= 0])"},
      {"'//b'", Kind::kText, "//b"},
      {"'/a/b[last()]'", Kind::kText, "/a/b[last()]"},
      {"'YYYY-MM-DD HH24:MI:SS'", Kind::kText, "YYYY-MM-DD HH24:MI:SS"},
      {"a date", Kind::kText, "2026-12-09 10:11:12"},
      {"''", Kind::kText, ""},
      {"'a'", Kind::kText, "a"},
      {"NULL", Kind::kNull, ""},
  };
}

std::vector<SweptValue> Numbers() {
  return {
      {"1", Kind::kInteger, "1"},
      {"0", Kind::kInteger, "0"},
      {"-1", Kind::kInteger, "-1"},
      {"32767", Kind::kInteger, "32767"},
      {"1000000000", Kind::kInteger, "1000000000"},
      {"2147483647", Kind::kInteger, "2147483647"},
      {"-2147483648", Kind::kInteger, "-2147483648"},
      {"9223372036854775807", Kind::kInteger, "9223372036854775807"},
      {"0.5", Kind::kReal, "0.5"},
      {"1e125", Kind::kReal, "1e125"},
      {"-9.99e125", Kind::kReal, "-9.99e125"},
      {"1e308", Kind::kReal, "1e308"},
  };
}

// An Oracle error's code at the start of a message, as "ORA-01013: ...", or the database layer's
// refusal of what it does not carry out, which names the construct instead.
bool TellsItsCode(const std::string& message) {
  static const std::regex code("^ORA-[0-9]{5}: ");
  return std::regex_search(message, code) ||
         message.ends_with(" is not supported by the database layer");
}

}  // namespace

WorstArguments::WorstArguments(SweepSize size) {
  std::vector<SweptValue> subjects = Subjects(size.longest_text);
  std::vector<SweptValue> shapers = Shapers(size.longest_text);
  std::vector<SweptValue> numbers = Numbers();
  values_.reserve(subjects.size() + shapers.size() + numbers.size());
  for (auto* group : {&subjects, &shapers, &numbers}) {
    for (SweptValue& v : *group) values_.push_back(std::move(v));
  }
  // The groups in the order they were moved in, their addresses fixed now.
  size_t at = 0;
  for (; at < subjects.size(); ++at) subjects_.push_back(&values_[at]);
  for (size_t i = 0; i < shapers.size(); ++i, ++at) shapers_.push_back(&values_[at]);
  for (size_t i = 0; i < numbers.size(); ++i, ++at) numbers_.push_back(&values_[at]);
  one_ = numbers_.front();
  for (const SweptValue* v : shapers_) {
    if (v->text == "a") short_text_ = v;
    if (v->kind == Kind::kNull) null_ = v;
  }
  shapers_.insert(shapers_.end(), numbers_.begin(), numbers_.end());
}

std::vector<std::vector<const SweptValue*>> WorstArguments::ListsFor(int arity) const {
  const size_t n = static_cast<size_t>(std::max(arity, 0));
  std::vector<std::vector<const SweptValue*>> lists;
  if (n == 0) return {{}};
  for (const SweptValue& v : values_) lists.emplace_back(n, &v);
  if (n == 1) return lists;
  for (const SweptValue* subject : subjects_) {
    for (const SweptValue* shaper : shapers_) {
      for (const SweptValue* tail : {subject, one_}) {
        std::vector<const SweptValue*> list(n, tail);
        list[0] = subject;
        list[1] = shaper;
        lists.push_back(std::move(list));
      }
    }
  }
  if (n < 3) return lists;
  if (n >= 5) {
    // A subject, a shaper and ones, an optional argument before the last left NULL: a regular
    // expression's match parameter, with its subexpression read.
    for (const SweptValue* subject : subjects_) {
      for (const SweptValue* shaper : shapers_) {
        std::vector<const SweptValue*> list(n, one_);
        list[0] = subject;
        list[1] = shaper;
        list[n - 2] = null_;
        lists.push_back(std::move(list));
      }
    }
  }
  for (const SweptValue* number : numbers_) {
    for (const SweptValue* subject : subjects_) {
      std::vector<const SweptValue*> list(n, one_);
      list[0] = short_text_;
      list[1] = number;
      list[2] = subject;
      lists.push_back(std::move(list));
    }
  }
  return lists;
}

std::chrono::nanoseconds ProcessProcessorTime(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // "pid (name) state ..." with utime and stime the 12th and 13th fields after the name.
  const size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) return {};
  std::istringstream fields(stat.substr(name_end + 2));
  std::string skipped;
  for (int i = 0; i < 11; ++i) fields >> skipped;
  long long user = 0, system = 0;
  fields >> user >> system;
  return std::chrono::nanoseconds((user + system) * 1'000'000'000LL / ::sysconf(_SC_CLK_TCK));
}

std::vector<int> SweptArities(int arity) {
  if (arity >= 0) return {arity};
  return {0, 1, 2, 3, 4};
}

std::string DescribeCall(const std::string& function,
                         std::span<const SweptValue* const> arguments) {
  std::string call = function + "(";
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i) call += ", ";
    call += arguments[i]->label;
  }
  return call + ")";
}

SweepReport Sweep(std::span<const SweptFunction> functions, const WorstArguments& arguments,
                  const std::function<std::unique_ptr<FunctionCaller>()>& open, int threads,
                  const std::function<std::optional<std::string>(const std::string&)>&
                      after_call) {
  struct Job {
    const SweptFunction* function;
    int arity;
  };
  std::vector<Job> jobs;
  for (const SweptFunction& f : functions) {
    for (int arity : SweptArities(f.arity)) jobs.push_back({&f, arity});
  }
  std::atomic<size_t> next{0};
  std::mutex report_lock;
  SweepReport report;
  auto work = [&] {
    std::unique_ptr<FunctionCaller> caller = open();
    for (size_t j; (j = next++) < jobs.size();) {
      const Job& job = jobs[j];
      for (const auto& list : arguments.ListsFor(job.arity)) {
        const CallOutcome outcome = caller->Call(job.function->name, list);
        const std::string call = DescribeCall(job.function->name, list);
        std::optional<std::string> finding;
        if (outcome.work > kSweptCallLimit) {
          finding = call + " worked " +
                    std::to_string(std::chrono::duration<double>(outcome.work).count()) +
                    " s of processor time";
        } else if (outcome.error && !TellsItsCode(*outcome.error)) {
          finding = call + " failed without an Oracle code: " + outcome.error->substr(0, 200);
        } else if (after_call) {
          finding = after_call(call);
        }
        std::lock_guard lock(report_lock);
        ++report.calls;
        if (outcome.work > report.slowest) {
          report.slowest = outcome.work;
          report.slowest_call = call;
        }
        if (finding) report.findings.push_back(std::move(*finding));
      }
    }
  };
  std::vector<std::thread> workers;
  for (int i = 1; i < threads; ++i) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  std::sort(report.findings.begin(), report.findings.end());
  return report;
}

}  // namespace korvalis::db::testing
