#include "platform/xml/xslt.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/xml/child_end.h"
#include "platform/xml/transform_worker.h"

namespace korvalis::xml {
namespace {

using Clock = std::chrono::steady_clock;

// A UTF-16 code unit is at most three bytes of UTF-8.
constexpr std::size_t kUtf8BytesPerUnit = 3;

constexpr std::uint32_t Kind(TransformMessage message) {
  return static_cast<std::uint32_t>(message);
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
      style_(TransformationTurns::StyleOf(stylesheet_)),
      order_{limits.max_output_units,
             limits.max_working_bytes,
             CpuSeconds(limits.max_duration),
             stylesheet_writer,
             source_writer,
             static_cast<std::uint32_t>(ProcessTransformationTurns().capacity())},
      limits_(limits) {}

Transformation::~Transformation() {
  connection_.Shutdown();
  turn_.Release();
}

Transformation::Deadline Transformation::DeadlineFromNow() const {
  if (limits_.max_duration.count() <= 0) return std::nullopt;
  // Past already once the writer has waited the whole limit.
  return Clock::now() + (limits_.max_duration - waited_);
}

bool Transformation::TakeTurn(const Deadline& deadline) {
  turn_ = ProcessTransformationTurns().Take(style_, deadline);
  if (turn_.held()) return true;
  Fail(TransformOutcome::kBusy, "no turn among the process's transformations came free in time");
  return false;
}

bool Transformation::Open(const Deadline& deadline) {
  if (!Start(deadline)) return false;
  if (!connection_.SendPieces(Kind(TransformMessage::kStylesheet), stylesheet_, deadline)) {
    FailToSend();
    return false;
  }
  std::string().swap(stylesheet_);
  return true;
}

bool Transformation::Start(const Deadline& deadline) {
  for (int attempt = 0;; ++attempt) {
    sys::MessageSocket worker_end;
    if (const int error = sys::MessageSocket::MakePair(connection_, worker_end); error != 0) {
      Fail(TransformOutcome::kUnavailable,
           std::string("no connection to the transformation worker can be made: ") +
               std::strerror(error));
      return false;
    }
    TransformOutcome outcome = TransformOutcome::kUnavailable;
    std::string cause;
    if (!HandToWorker(worker_end, order_, deadline, &ticket_, &outcome, &cause)) {
      connection_.Close();
      Fail(outcome, std::move(cause));
      return false;
    }
    const StartAnswer answer = AwaitStarted(deadline);
    if (answer == StartAnswer::kStarted) return true;
    if (answer == StartAnswer::kFailed) return false;
    connection_.Shutdown();
    if (answer == StartAnswer::kSilent) ReplaceWorker(ticket_);
    if (attempt == 1) {
      Fail(answer == StartAnswer::kSilent ? TransformOutcome::kUnavailable
                                          : TransformOutcome::kWorkerEnded,
           answer == StartAnswer::kSilent
               ? "the transformation worker did not acknowledge the transformation within " +
                     std::to_string(kWorkerAnswerTime.count()) + " s and was replaced"
               : "the transformation worker " + WorkerEnd(ticket_, std::chrono::milliseconds(200)) +
                     " before it started the transformation");
      return false;
    }
  }
}

Transformation::StartAnswer Transformation::AwaitStarted(const Deadline& deadline) {
  const Clock::time_point answer_by = Clock::now() + kWorkerAnswerTime;
  const bool call_ends_first = deadline && *deadline < answer_by;
  sys::Message message;
  switch (connection_.Receive(message, call_ends_first ? *deadline : answer_by)) {
    case sys::MessageSocket::Received::kMessage:
      break;
    case sys::MessageSocket::Received::kDeadlinePassed:
      if (!call_ends_first) return StartAnswer::kSilent;
      Fail(TransformOutcome::kDeadlinePassed, "the transformation worker had not started it");
      return StartAnswer::kFailed;
    case sys::MessageSocket::Received::kClosed:
    case sys::MessageSocket::Received::kFailed:
      return StartAnswer::kWorkerEnded;
  }
  if (message.kind == Kind(TransformMessage::kStarted)) return StartAnswer::kStarted;
  Fail(message.kind == Kind(TransformMessage::kEnd) ? OutcomeFromWire(message.status)
                                                    : TransformOutcome::kUnavailable,
       message.kind == Kind(TransformMessage::kEnd)
           ? message.payload
           : "the transformation worker answered a start with message " +
                 std::to_string(message.kind));
  return StartAnswer::kFailed;
}

void Transformation::FailToSend() {
  const int error = errno;
  if (error == ETIMEDOUT) {
    Fail(TransformOutcome::kDeadlinePassed, "the transformation's process took no more text");
    return;
  }
  if (error == EPIPE || error == ECONNRESET) {
    // Every copy of the far end is closed. The worker answers for every child that ends, so
    // without an end of the transformation's own (which Fail reads) the worker itself ended.
    Fail(TransformOutcome::kWorkerEnded, {});
    if (*failure_ == TransformOutcome::kWorkerEnded && cause_.empty()) cause_ = WorkerEndedCause();
    return;
  }
  Fail(TransformOutcome::kFailed,
       std::string("the transformation's process took no more text: ") + std::strerror(error));
}

std::string Transformation::WorkerEndedCause() const {
  const std::string end = WorkerEnd(ticket_, std::chrono::milliseconds(200));
  return "the transformation worker " + (end.empty() ? std::string("ended") : end) +
         " while it made the transformation";
}

void Transformation::Fail(TransformOutcome outcome, std::string cause) {
  // A process that stopped taking text may have said why: its end is read at once.
  if (connection_.IsOpen() && outcome != TransformOutcome::kDeadlinePassed) {
    sys::Message message;
    while (connection_.Receive(message, Clock::now()) == sys::MessageSocket::Received::kMessage) {
      if (message.kind != Kind(TransformMessage::kEnd)) continue;
      outcome = OutcomeFromWire(message.status);
      cause = message.payload;
      break;
    }
  }
  failure_ = outcome;
  cause_ = std::move(cause);
  connection_.Shutdown();
}

bool Transformation::SendSource(std::string_view text, const Deadline& deadline) {
  if (connection_.SendPieces(Kind(TransformMessage::kSource), text, deadline)) return true;
  FailToSend();
  return false;
}

void Transformation::AppendSource(std::string_view piece) {
  if (failure_) return;
  if (!connection_.IsOpen() && held_.size() + piece.size() <= kHeldSourceBytes) {
    held_.append(piece);
    return;
  }
  // The source is still being written: its process parses it as it comes, without a turn.
  // What the writer waits for the process here is spent from the time limit.
  const Clock::time_point start = Clock::now();
  const Deadline deadline = DeadlineFromNow();
  if (!connection_.IsOpen() && Open(deadline) && SendSource(held_, deadline)) {
    std::string().swap(held_);
  }
  if (!failure_) SendSource(piece, deadline);
  waited_ += Clock::now() - start;
}

TransformOutcome Transformation::Finish(std::string_view last_piece, std::string& output,
                                        std::string* cause) {
  // The one deadline of the work, which is ready now: the rest of the time limit.
  const Deadline deadline = DeadlineFromNow();
  if (!failure_ && TakeTurn(deadline) && (connection_.IsOpen() || Open(deadline)) &&
      SendSource(held_, deadline) && SendSource(last_piece, deadline)) {
    std::string().swap(held_);
    if (!connection_.Send(Kind(TransformMessage::kRun), 0, {}, deadline)) FailToSend();
  }
  TransformOutcome outcome = failure_ ? *failure_ : Receive(deadline, output);
  connection_.Shutdown();
  turn_.Release();
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
      case sys::MessageSocket::Received::kDeadlinePassed:
        return TransformOutcome::kDeadlinePassed;
      case sys::MessageSocket::Received::kClosed: {
        // The worker answers for every child that ends: a connection closed without an end
        // means the worker itself ended.
        cause_ = WorkerEndedCause();
        return TransformOutcome::kWorkerEnded;
      }
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
    const TransformOutcome outcome = OutcomeFromWire(message.status);
    if (outcome == TransformOutcome::kCrashed && kCrashEndsTheHost) {
      std::fprintf(stderr, "korvalis: %s\n", message.payload.c_str());
      std::abort();
    }
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
  return transformation.Finish(source, output, cause);
}

}  // namespace korvalis::xml
