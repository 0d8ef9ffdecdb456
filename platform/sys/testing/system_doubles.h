// Test doubles of the system services that the watchdog uses: a service control, a process
// table and a process starter that answer from what the test sets up and record every call,
// a command runner that answers canned results, and a scope that installs the first three
// process-wide.
//
//   korvalis::sys::testing::SystemDoubles system;     // installed until the end of the scope
//   system.services->Set("cron", ServiceState::kStopped);
//   system.processes->Add("/usr/bin/myapp");
//   ... run the code under test ...
//   EXPECT_EQ(system.services->Starts(), (std::vector<std::string>{"cron"}));
//
// Thread-safety: every double may be called from several threads at once.
#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sys/command_runner.h"
#include "platform/sys/process_starter.h"
#include "platform/sys/process_table.h"
#include "platform/sys/service_control.h"

namespace korvalis::sys::testing {

// Services by name; a started service runs from then on.
class FakeServiceControl : public ServiceControl {
 public:
  void Set(const std::string& name, ServiceState state) {
    std::lock_guard lock(mutex_);
    states_[name] = state;
  }
  std::optional<ServiceState> State(const std::string& name) override {
    std::lock_guard lock(mutex_);
    queries_.push_back(name);
    const auto found = states_.find(name);
    if (found == states_.end()) return std::nullopt;
    return found->second;
  }
  void Start(const std::string& name) override {
    std::lock_guard lock(mutex_);
    starts_.push_back(name);
    states_[name] = ServiceState::kRunning;
  }
  // The names asked for, and the names started, in call order.
  std::vector<std::string> Queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
  }
  std::vector<std::string> Starts() const {
    std::lock_guard lock(mutex_);
    return starts_;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, ServiceState> states_;
  std::vector<std::string> queries_;
  std::vector<std::string> starts_;
};

// A list of processes; `Fail` makes the listing itself fail.
class FakeProcessTable : public ProcessTable {
 public:
  void Add(const std::string& executable) {
    std::lock_guard lock(mutex_);
    processes_.push_back({next_pid_++, executable});
  }
  // A process whose executable cannot be read.
  void AddUnreadable() {
    std::lock_guard lock(mutex_);
    processes_.push_back({next_pid_++, std::nullopt});
  }
  void Fail(bool fail) {
    std::lock_guard lock(mutex_);
    fail_ = fail;
  }
  std::optional<std::vector<RunningProcess>> Processes() override {
    std::lock_guard lock(mutex_);
    ++listings_;
    if (fail_) return std::nullopt;
    return processes_;
  }
  int Listings() const {
    std::lock_guard lock(mutex_);
    return listings_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<RunningProcess> processes_;
  pid_t next_pid_ = 100;
  bool fail_ = false;
  int listings_ = 0;
};

// Records the argument vectors it is asked to start. A started program runs in `table` from
// then on, when a table is given; `error` makes every start fail with that errno.
class RecordingProcessStarter : public ProcessStarter {
 public:
  explicit RecordingProcessStarter(std::shared_ptr<FakeProcessTable> table = nullptr)
      : table_(std::move(table)) {}
  void FailWith(int error) {
    std::lock_guard lock(mutex_);
    error_ = error;
  }
  StartedProgram Start(const std::vector<std::string>& argv) override {
    std::lock_guard lock(mutex_);
    starts_.push_back(argv);
    if (error_ != 0) return {error_, 0};
    if (table_ != nullptr && !argv.empty()) table_->Add(argv[0]);
    return {0, static_cast<pid_t>(1000 + starts_.size())};
  }
  std::vector<std::vector<std::string>> Starts() const {
    std::lock_guard lock(mutex_);
    return starts_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<FakeProcessTable> table_;
  std::vector<std::vector<std::string>> starts_;
  int error_ = 0;
};

// Answers each run with the next canned result (a program that did not run once they are used
// up) and records the argument vectors and time-outs.
class RecordingCommandRunner : public CommandRunner {
 public:
  void Answer(CommandResult result) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(result));
  }
  // A run that exited with status 0 after printing `output`.
  void AnswerOutput(std::string output) { Answer({true, 0, std::move(output)}); }
  CommandResult Run(const std::vector<std::string>& argv,
                    std::chrono::milliseconds timeout) override {
    std::lock_guard lock(mutex_);
    runs_.push_back(argv);
    timeouts_.push_back(timeout);
    if (next_ >= answers_.size()) return {};
    return answers_[next_++];
  }
  std::vector<std::vector<std::string>> Runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
  }
  std::vector<std::chrono::milliseconds> Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<CommandResult> answers_;
  std::size_t next_ = 0;
  std::vector<std::vector<std::string>> runs_;
  std::vector<std::chrono::milliseconds> timeouts_;
};

// The three doubles, installed process-wide while the object lives; the starter's programs
// appear in the process table.
struct SystemDoubles {
  SystemDoubles() {
    SetServiceControl(services);
    SetProcessTable(processes);
    SetProcessStarter(starter);
  }
  ~SystemDoubles() {
    SetServiceControl(nullptr);
    SetProcessTable(nullptr);
    SetProcessStarter(nullptr);
  }
  SystemDoubles(const SystemDoubles&) = delete;
  SystemDoubles& operator=(const SystemDoubles&) = delete;

  std::shared_ptr<FakeServiceControl> services = std::make_shared<FakeServiceControl>();
  std::shared_ptr<FakeProcessTable> processes = std::make_shared<FakeProcessTable>();
  std::shared_ptr<RecordingProcessStarter> starter =
      std::make_shared<RecordingProcessStarter>(processes);
};

}  // namespace korvalis::sys::testing
