#include "foundation/data/connection_failures.h"

#include "foundation/net/soap_client.h"

ConnectionFailureRun::Endpoint ConnectionFailureRun::DefaultWatchdog() {
  return Endpoint{kLocalHostName, u"/tennal/tennal.dll?Handler=Default", 80};
}

ConnectionFailureRun& ConnectionFailureRun::Process() {
  static ConnectionFailureRun& run =
      *new ConnectionFailureRun([] { return std::chrono::steady_clock::now(); }, DefaultWatchdog());
  return run;
}

ConnectionFailureRun::ConnectionFailureRun(Clock clock, Endpoint watchdog)
    : clock_(std::move(clock)), watchdog_(std::move(watchdog)) {}

void ConnectionFailureRun::CountFailure() {
  Endpoint report_to;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = clock_();
    if (count_ == 0) {
      count_ = 1;
      last_ = now;
      return;
    }
    const auto elapsed = now - *last_;
    last_ = now;
    if (elapsed >= kRunGap) {
      count_ = 0;
      return;
    }
    if (++count_ <= kReportAfter) return;
    count_ = 0;
    report_to = watchdog_;
  }
  SoapClient client;
  client.SetEndpoint(report_to.host, report_to.path, report_to.port);
  client.Call(u"ServerError", {});
}

int ConnectionFailureRun::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

void ConnectionFailureRun::SetClock(Clock clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_ = std::move(clock);
}

void ConnectionFailureRun::SetWatchdog(Endpoint watchdog) {
  std::lock_guard<std::mutex> lock(mutex_);
  watchdog_ = std::move(watchdog);
}

void ConnectionFailureRun::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  count_ = 0;
  last_.reset();
}
