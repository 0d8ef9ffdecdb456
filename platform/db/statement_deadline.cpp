#include "platform/db/statement_deadline.h"

#include <cstdio>
#include <string>

namespace korvalis::db {
namespace {

// Seconds to the hundredth: "2.50".
std::string Seconds(StatementDeadline::Clock::duration d) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::chrono::duration<double>(d).count());
  return text;
}

}  // namespace

DbError StatementDeadline::TimedOut() const {
  const DbError timed_out = CommandTimedOut(bound_);
  if (!sampling_) return timed_out;
  Clock::duration processor = processor_spent_;
  Clock::duration left = left_;
  if (working_) {
    processor += ThreadProcessorTime() - processor_resumed_;
    left = end_ - Clock::now();
  }
  const Clock::duration worked = sampled_from_left_ - left;
  std::string message = std::string(timed_out.what()) + " (it had the processor for " +
                        Seconds(processor) + " of its last " + Seconds(worked) + " seconds";
  // Nine tenths and more: a statement that worked all the time it was given.
  if (processor * 10 < worked * 9) {
    message += "; it waited the rest for a processor that other work held, or for the disk";
  }
  return DbError(timed_out.code(), message + ")");
}

}  // namespace korvalis::db
