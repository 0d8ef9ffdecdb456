// A sweep over an engine's own SQL functions: each registered function is called with every
// list of worst arguments for its number of arguments (the longest texts, pathological
// patterns, models and paths, deep and wide XML, extreme numbers), and every call must work
// no longer than kSweptCallLimit under a Command Timeout of one second, failing, when it
// fails, with an Oracle code (or as the refusal of a construct the database layer does not
// carry out, which has a code of its own). The values and their lists are the engine's neutral part; an
// engine supplies the functions it registers and a FunctionCaller that binds the values as its
// parameters.
//
// Thread-safety: WorstArguments is immutable once built; Sweep runs each caller on a thread of
// its own.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvalis::db::testing {

// One argument value, bound as a parameter of its kind.
struct SweptValue {
  enum class Kind { kNull, kInteger, kReal, kText };
  std::string label;  // how a finding names it
  Kind kind;
  std::string text;  // the value, a number in its decimal text
};

// How large the worst values are: the longest text, from which the widest documents, longest
// models and search texts are made.
struct SweepSize {
  size_t longest_text;
};

// The catalogue of worst values and the argument lists made of them.
class WorstArguments {
 public:
  explicit WorstArguments(SweepSize size);

  const std::vector<SweptValue>& values() const { return values_; }
  // The lists to call a function of `arity` arguments with: every value in every position, a
  // subject (a long text or document) followed by every shaping value (a pattern, model, path,
  // search text or number) and then by the subject again or by 1 (or, from five arguments on,
  // by ones around a NULL before the last), and a short text padded by every number with every
  // subject.
  std::vector<std::vector<const SweptValue*>> ListsFor(int arity) const;

 private:
  std::vector<SweptValue> values_;
  std::vector<const SweptValue*> subjects_;
  std::vector<const SweptValue*> shapers_;
  std::vector<const SweptValue*> numbers_;
  const SweptValue* one_ = nullptr;
  const SweptValue* short_text_ = nullptr;
  const SweptValue* null_ = nullptr;
};

// A function as its engine registers it; `arity` -1 takes any number of arguments.
struct SweptFunction {
  std::string name;
  int arity;
};

// How one call ended: the processor time its work took (the calling thread's for the embedded
// file, the server process's for the server), which a busy machine does not stretch as it does
// the time from the call's start (the functions compute; none waits for anything); and its
// error's message when it failed.
struct CallOutcome {
  std::chrono::nanoseconds work{};
  std::optional<std::string> error;
};

// The processor time process `pid` has used so far, in its own code and in the system's, in
// steps of a clock tick; zero when it cannot be read.
std::chrono::nanoseconds ProcessProcessorTime(pid_t pid);

// Calls functions on one connection of an engine whose Command Timeout is one second.
class FunctionCaller {
 public:
  virtual ~FunctionCaller() = default;
  virtual CallOutcome Call(const std::string& function,
                           std::span<const SweptValue* const> arguments) = 0;
};

// The most processor time a swept call may take.
inline constexpr std::chrono::seconds kSweptCallLimit{2};

// The arities a function of `arity` is swept with: its own, or 0 to 4 for any number.
std::vector<int> SweptArities(int arity);

// What the sweep found: one line for each call that ran past kSweptCallLimit or failed without
// an Oracle code, and how many calls it made.
struct SweepReport {
  std::vector<std::string> findings;
  size_t calls = 0;
  std::chrono::nanoseconds slowest{};  // the most processor time a call took
  std::string slowest_call;
};

// Calls each of `functions` with every list of `arguments` for each of its arities, spread over
// `threads` callers that `open` makes. `after_call`, where given, is told each call and may add
// a finding of its own (a memory peak), on the caller's thread.
SweepReport Sweep(std::span<const SweptFunction> functions, const WorstArguments& arguments,
                  const std::function<std::unique_ptr<FunctionCaller>()>& open, int threads,
                  const std::function<std::optional<std::string>(const std::string& call)>&
                      after_call = nullptr);

// "name(label, label ...)": how a finding names a call.
std::string DescribeCall(const std::string& function,
                         std::span<const SweptValue* const> arguments);

}  // namespace korvalis::db::testing
