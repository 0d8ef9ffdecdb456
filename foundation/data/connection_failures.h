// The run of connection failures of the process and the watchdog report it triggers.
//
//   count 0 ──failure──▶ 1 ──failure < 60 s after the previous──▶ count + 1 ──▶ ... 32
//      ▲                 │                                                       │
//      │                 └──failure ≥ 60 s after the previous: count 0           │
//      └──────────────── 33rd failure of a run: count 0, report sent ◀──────────┘
//
// Time is measured on a monotonic clock, so neither midnight nor a change of the wall clock
// breaks a run. The report is a one-way SOAP call "ServerError" without parameters to the
// watchdog web service (port 80 of the local machine), sent on the failing caller's thread.
//
// Thread-safety: thread-safe; concurrent failures are counted one after the other. The
// report is sent outside the lock.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

class ConnectionFailureRun {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  struct Endpoint {
    std::u16string host;
    std::u16string path;
    int port;
  };
  // The watchdog web service of the suite.
  static Endpoint DefaultWatchdog();

  // The run of the process, on the steady clock, reporting to DefaultWatchdog().
  static ConnectionFailureRun& Process();

  ConnectionFailureRun(Clock clock, Endpoint watchdog);

  // Counts one connection failure; at the 33rd of a run sends the report. Throws the SOAP
  // client's CEMRException when the report cannot be delivered.
  void CountFailure();

  int count() const;
  // Test seams: replace the clock or the endpoint, and start afresh at 0.
  void SetClock(Clock clock);
  void SetWatchdog(Endpoint watchdog);
  void Reset();

 private:
  static constexpr int kReportAfter = 32;
  static constexpr std::chrono::seconds kRunGap{60};

  mutable std::mutex mutex_;
  Clock clock_;
  Endpoint watchdog_;
  int count_ = 0;
  std::optional<std::chrono::steady_clock::time_point> last_;
};
