#include "platform/xml/xslt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <semaphore>
#include <thread>
#include <utility>

#include "platform/xml/transform_worker.h"

namespace korvalis::xml {
namespace {

using Clock = std::chrono::steady_clock;

// A UTF-16 code unit is at most three bytes of UTF-8.
constexpr std::size_t kUtf8BytesPerUnit = 3;

std::counting_semaphore<kMaxTransformationsInFlight>& Turns() {
  static auto* turns = new std::counting_semaphore<kMaxTransformationsInFlight>(
      std::clamp(static_cast<int>(std::thread::hardware_concurrency()),
                 kMinTransformationsInFlight, kMaxTransformationsInFlight));
  return *turns;
}

constexpr std::uint32_t Kind(TransformMessage message) {
  return static_cast<std::uint32_t>(message);
}

TransformOutcome OutcomeOf(TransformStatus status) {
  switch (status) {
    case TransformStatus::kTransformed: return TransformOutcome::kDone;
    case TransformStatus::kStylesheetNotLoaded: return TransformOutcome::kStylesheetNotLoaded;
    case TransformStatus::kSourceNotLoaded: return TransformOutcome::kSourceNotLoaded;
    case TransformStatus::kPageTooLarge: return TransformOutcome::kTooLarge;
    case TransformStatus::kMemorySpent: return TransformOutcome::kOutOfMemory;
    case TransformStatus::kTimedOut: return TransformOutcome::kTimedOut;
    case TransformStatus::kNotStarted: return TransformOutcome::kUnavailable;
    case TransformStatus::kNotTransformed:
    case TransformStatus::kDied: break;
  }
  return TransformOutcome::kFailed;
}

// The processor time the transformation's process may use: its whole time limit for the source
// as it arrives and as much again for the work, and a second more; the caller's own deadline
// ends it sooner.
std::uint32_t CpuSeconds(std::chrono::milliseconds duration) {
  if (duration.count() <= 0) return 0;
  const long long seconds = (duration.count() + 999) / 1000;
  return static_cast<std::uint32_t>(
      std::min<long long>(2 * seconds + 1, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

Transformation::Transformation(std::string stylesheet, TextWriter stylesheet_writer,
                               TextWriter source_writer, const TransformLimits& limits)
    : stylesheet_(std::move(stylesheet)),
      order_{limits.max_output_units, limits.max_working_bytes, CpuSeconds(limits.max_duration),
             stylesheet_writer, source_writer},
      limits_(limits) {}

Transformation::~Transformation() {
  connection_.Close();
  if (holds_turn_) Turns().release();
}

Transformation::Deadline Transformation::DeadlineFromNow() const {
  if (limits_.max_duration.count() <= 0) return std::nullopt;
  return Clock::now() + limits_.max_duration;
}

bool Transformation::Open(const Deadline& deadline) {
  if (!deadline) {
    Turns().acquire();
  } else if (!Turns().try_acquire_until(*deadline)) {
    Fail(TransformOutcome::kTimedOut, "no turn among the process's transformations came in time");
    return false;
  }
  holds_turn_ = true;
  sys::MessageSocket worker_end;
  if (const int error = sys::MessageSocket::MakePair(connection_, worker_end); error != 0) {
    Fail(TransformOutcome::kUnavailable,
         std::string("no connection to the transformation worker can be made: ") +
             std::strerror(error));
    return false;
  }
  std::string cause;
  if (!HandToWorker(worker_end, deadline, &cause)) {
    connection_.Close();
    Fail(TransformOutcome::kUnavailable, std::move(cause));
    return false;
  }
  const std::string_view order(reinterpret_cast<const char*>(&order_), sizeof order_);
  if (!connection_.Send(Kind(TransformMessage::kOrder), 0, order, deadline) ||
      !connection_.SendPieces(Kind(TransformMessage::kStylesheet), stylesheet_, deadline)) {
    Fail(errno == ETIMEDOUT ? TransformOutcome::kTimedOut : TransformOutcome::kFailed,
         "the transformation's process took no more text");
    return false;
  }
  std::string().swap(stylesheet_);
  return true;
}

void Transformation::Fail(TransformOutcome outcome, std::string cause) {
  // A process that stopped taking text may have said why: its end is read at once.
  if (connection_.IsOpen() && outcome != TransformOutcome::kTimedOut) {
    sys::Message message;
    while (connection_.Receive(message, Clock::now()) == sys::MessageSocket::Received::kMessage) {
      if (message.kind != Kind(TransformMessage::kEnd)) continue;
      outcome = OutcomeOf(static_cast<TransformStatus>(message.status));
      cause = message.payload;
      break;
    }
  }
  failure_ = outcome;
  cause_ = std::move(cause);
  connection_.Close();
}

bool Transformation::SendSource(std::string_view text, const Deadline& deadline) {
  if (connection_.SendPieces(Kind(TransformMessage::kSource), text, deadline)) return true;
  Fail(errno == ETIMEDOUT ? TransformOutcome::kTimedOut : TransformOutcome::kFailed,
       "the transformation's process took no more text");
  return false;
}

void Transformation::AppendSource(std::string_view piece) {
  if (failure_) return;
  if (!connection_.IsOpen() && held_.size() + piece.size() <= kHeldSourceBytes) {
    held_.append(piece);
    return;
  }
  const Deadline deadline = DeadlineFromNow();
  if (!connection_.IsOpen()) {
    if (!Open(deadline) || !SendSource(held_, deadline)) return;
    std::string().swap(held_);
  }
  SendSource(piece, deadline);
}

TransformOutcome Transformation::Finish(std::string& output, std::string* cause) {
  const Deadline deadline = DeadlineFromNow();
  if (!failure_ && !connection_.IsOpen() && Open(deadline) && SendSource(held_, deadline)) {
    std::string().swap(held_);
  }
  if (!failure_ && !connection_.Send(Kind(TransformMessage::kRun), 0, {}, deadline)) {
    Fail(errno == ETIMEDOUT ? TransformOutcome::kTimedOut : TransformOutcome::kFailed,
         "the transformation's process took no more text");
  }
  TransformOutcome outcome = failure_ ? *failure_ : Receive(deadline, output);
  connection_.Close();
  if (holds_turn_) Turns().release();
  holds_turn_ = false;
  if (outcome != TransformOutcome::kDone && cause != nullptr) *cause = std::move(cause_);
  return outcome;
}

TransformOutcome Transformation::Receive(const Deadline& deadline, std::string& output) {
  std::string page;
  const std::size_t max_bytes = limits_.max_output_units * kUtf8BytesPerUnit;
  sys::Message message;
  for (;;) {
    switch (connection_.Receive(message, deadline)) {
      case sys::MessageSocket::Received::kMessage:
        break;
      case sys::MessageSocket::Received::kTimedOut:
        return TransformOutcome::kTimedOut;
      case sys::MessageSocket::Received::kClosed:
        cause_ = "the transformation's process ended without an answer";
        return TransformOutcome::kFailed;
      case sys::MessageSocket::Received::kFailed:
        cause_ = std::string("the transformation's answer cannot be read: ") + std::strerror(errno);
        return TransformOutcome::kFailed;
    }
    if (message.kind == Kind(TransformMessage::kPage)) {
      if (page.size() + message.payload.size() > max_bytes) return TransformOutcome::kTooLarge;
      page.append(message.payload);
      continue;
    }
    if (message.kind != Kind(TransformMessage::kEnd)) continue;
    const TransformOutcome outcome = OutcomeOf(static_cast<TransformStatus>(message.status));
    if (outcome == TransformOutcome::kDone) {
      output = std::move(page);
    } else {
      cause_ = message.payload;
    }
    return outcome;
  }
}

TransformOutcome TransformText(std::string_view source, TextWriter source_writer,
                               std::string_view stylesheet, TextWriter stylesheet_writer,
                               const TransformLimits& limits, std::string& output,
                               std::string* cause) {
  Transformation transformation(std::string(stylesheet), stylesheet_writer, source_writer, limits);
  transformation.AppendSource(source);
  return transformation.Finish(output, cause);
}

}  // namespace korvalis::xml
