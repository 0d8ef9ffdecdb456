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

// The processor time the transformation's process may use: its whole time limit for the source
// as it arrives and as much again for the work, and a second more; the caller's own deadline
// ends it sooner.
std::uint32_t CpuSeconds(std::chrono::milliseconds duration) {
  if (duration.count() <= 0) return 0;
  const long long seconds = (duration.count() + 999) / 1000;
  return static_cast<std::uint32_t>(
      std::min<long long>(2 * seconds + 1, std::numeric_limits<std::uint32_t>::max()));
}

// "of its time limit the call waited 0.20 s for the transformation's process to take its rows
// and 3.10 s for a turn".
std::string TimeLimitSpentWaiting(std::chrono::steady_clock::duration for_process,
                                  std::chrono::steady_clock::duration for_turn) {
  const auto seconds = [](std::chrono::steady_clock::duration waited) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s",
                  std::chrono::duration<double>(waited).count());
    return std::string(text);
  };
  return "of its time limit the call waited " + seconds(for_process) +
         " for the transformation's process to take its rows and " + seconds(for_turn) +
         " for a turn";
}

// How a transformation's work ended, for the turns: stopped by its time, or answered.
TransformationTurns::WorkEnded WorkEndedBy(TransformOutcome outcome) {
  return outcome == TransformOutcome::kDeadlinePassed ||
                 outcome == TransformOutcome::kProcessorTimeSpent
             ? TransformationTurns::WorkEnded::kTimeRanOut
             : TransformationTurns::WorkEnded::kFinished;
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
  const Clock::time_point asked = Clock::now();
  turn_ = ProcessTransformationTurns().Take(style_, deadline);
  turn_waited_ = Clock::now() - asked;
  if (turn_.held()) return true;
  Fail(TransformOutcome::kBusy, "no turn among the process's transformations came free in time");
  return false;
}

bool Transformation::HandOver(const Deadline& deadline) {
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
  acknowledged_ = false;
  answer_by_ = Clock::now() + kWorkerAnswerTime;
  unacknowledged_ = Unacknowledged::kNone;
  return true;
}

bool Transformation::Open(const Deadline& deadline) {
  for (int attempt = 0;; ++attempt) {
    if (HandOver(deadline) && SendText(TransformMessage::kStylesheet, stylesheet_, deadline) &&
        SendText(TransformMessage::kSource, held_, deadline) && AwaitAcknowledgement(deadline)) {
      std::string().swap(stylesheet_);
      std::string().swap(held_);
      return true;
    }
    if (failure_ || !StartAgain(attempt)) return false;
  }
}

TransformOutcome Transformation::RunHeld(std::string_view last_piece, const Deadline& deadline,
                                         std::string& output) {
  for (int attempt = 0;; ++attempt) {
    if (HandOver(deadline) && SendText(TransformMessage::kStylesheet, stylesheet_, deadline) &&
        SendText(TransformMessage::kSource, held_, deadline) &&
        SendText(TransformMessage::kSource, last_piece, deadline) &&
        SendMessage(TransformMessage::kRun, {}, deadline)) {
      if (const std::optional<TransformOutcome> outcome = Receive(deadline, output))
        return *outcome;
    }
    if (failure_ || !StartAgain(attempt)) return *failure_;
  }
}

bool Transformation::StartAgain(int attempt) {
  connection_.Shutdown();
  if (attempt == 0) return true;
  if (unacknowledged_ == Unacknowledged::kSilent) {
    Fail(TransformOutcome::kUnavailable,
         "the transformation worker did not acknowledge the transformation within " +
             std::to_string(kWorkerAnswerTime.count()) + " s and was replaced");
  } else {
    Fail(TransformOutcome::kWorkerEnded, "the transformation worker " +
                                             WorkerEnd(ticket_, std::chrono::milliseconds(200)) +
                                             " before it started the transformation");
  }
  return false;
}

bool Transformation::SendText(TransformMessage kind, std::string_view text,
                              const Deadline& deadline) {
  return Deliver(
      [&](const Deadline& by) {
        std::size_t sent = 0;
        const bool whole = connection_.SendPieces(Kind(kind), text, by, &sent);
        text.remove_prefix(sent);
        return whole;
      },
      deadline);
}

bool Transformation::SendMessage(TransformMessage kind, std::string_view payload,
                                 const Deadline& deadline) {
  return Deliver([&](const Deadline& by) { return connection_.Send(Kind(kind), 0, payload, by); },
                 deadline);
}

template <class Send>
bool Transformation::Deliver(Send send, const Deadline& deadline) {
  if (!acknowledged_) {
    if (send(Clock::now())) return true;
    // No room, or the far end closed: the worker's answer to the start tells which.
    if (errno != ETIMEDOUT && !sys::MessageSocket::PeerGone(errno)) {
      FailToSend();
      return false;
    }
    if (!AwaitAcknowledgement(deadline)) return false;
  }
  if (send(deadline)) return true;
  FailToSend();
  return false;
}

bool Transformation::AwaitAcknowledgement(const Deadline& deadline) {
  if (acknowledged_) return true;
  sys::Message message;
  switch (Hear(message, deadline)) {
    case Heard::kMessage:
      break;
    case Heard::kUnacknowledged:
      return false;
    case Heard::kDeadlinePassed:
      Fail(TransformOutcome::kDeadlinePassed, "the transformation worker had not started it");
      return false;
    case Heard::kClosed:
    case Heard::kFailed:
      Fail(TransformOutcome::kWorkerEnded, WorkerEndedCause());
      return false;
  }
  if (message.kind == Kind(TransformMessage::kStarted)) return true;
  // The child's answers before its kRun are ends only: a text it could not take.
  Fail(message.kind == Kind(TransformMessage::kEnd) ? OutcomeFromWire(message.status)
                                                    : TransformOutcome::kUnavailable,
       message.kind == Kind(TransformMessage::kEnd)
           ? message.payload
           : "the transformation worker answered a start with message " +
                 std::to_string(message.kind));
  return false;
}

Transformation::Heard Transformation::Hear(sys::Message& message, const Deadline& deadline) {
  const bool call_ends_first = acknowledged_ || (deadline && *deadline < answer_by_);
  const sys::MessageSocket::Received received =
      connection_.Receive(message, call_ends_first ? deadline : Deadline(answer_by_));
  if (received == sys::MessageSocket::Received::kMessage) {
    acknowledged_ = true;
    return Heard::kMessage;
  }
  if (received == sys::MessageSocket::Received::kDeadlinePassed) {
    if (call_ends_first) return Heard::kDeadlinePassed;
    ReplaceWorker(ticket_);
    unacknowledged_ = Unacknowledged::kSilent;
    return Heard::kUnacknowledged;
  }
  if (!acknowledged_) {
    // The connection closed before the worker took it: the worker ended.
    unacknowledged_ = Unacknowledged::kWorkerEnded;
    return Heard::kUnacknowledged;
  }
  return received == sys::MessageSocket::Received::kClosed ? Heard::kClosed : Heard::kFailed;
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
  if (connection_.IsOpen() || Open(deadline)) SendText(TransformMessage::kSource, piece, deadline);
  waited_ += Clock::now() - start;
}

TransformOutcome Transformation::Finish(std::string_view last_piece, std::string& output,
                                        std::string* cause) {
  // The one deadline of the work, which is ready now: the rest of the time limit.
  const Deadline deadline = DeadlineFromNow();
  TransformOutcome outcome = TransformOutcome::kFailed;
  if (failure_ || !TakeTurn(deadline)) {
    outcome = *failure_;
  } else if (!connection_.IsOpen()) {
    outcome = RunHeld(last_piece, deadline, output);
  } else if (SendText(TransformMessage::kSource, last_piece, deadline) &&
             SendMessage(TransformMessage::kRun, {}, deadline)) {
    // The start was acknowledged when the source was opened.
    outcome = Receive(deadline, output).value_or(TransformOutcome::kWorkerEnded);
  } else {
    outcome = *failure_;
  }
  connection_.Shutdown();
  turn_.Release(WorkEndedBy(outcome));
  ticket_.Release();
  if (outcome != TransformOutcome::kDone && cause != nullptr) {
    *cause = std::move(cause_);
    // What the time limit went on besides the work, so that a machine too busy for the call is
    // told apart from a style sheet that runs away.
    if (WorkEndedBy(outcome) == TransformationTurns::WorkEnded::kTimeRanOut) {
      *cause += (cause->empty() ? "" : "; ") + TimeLimitSpentWaiting(waited_, turn_waited_);
    }
  }
  return outcome;
}

std::optional<TransformOutcome> Transformation::Receive(const Deadline& deadline,
                                                        std::string& output) {
  std::string page;
  const std::size_t max_bytes = limits_.max_output_units * kUtf8BytesPerUnit;
  sys::Message message;
  for (;;) {
    switch (Hear(message, deadline)) {
      case Heard::kMessage:
        break;
      case Heard::kUnacknowledged:
        return std::nullopt;
      case Heard::kDeadlinePassed:
        return TransformOutcome::kDeadlinePassed;
      case Heard::kClosed:
        // The worker answers for every child that ends: a connection closed without an end
        // means the worker itself ended.
        cause_ = WorkerEndedCause();
        return TransformOutcome::kWorkerEnded;
      case Heard::kFailed:
        cause_ = std::string("the transformation's answer cannot be read: ") + std::strerror(errno);
        return TransformOutcome::kFailed;
    }
    const bool end = message.kind == Kind(TransformMessage::kEnd);
    if (!end && message.kind != Kind(TransformMessage::kPage)) continue;  // kStarted
    const TransformOutcome outcome =
        end ? OutcomeFromWire(message.status) : TransformOutcome::kDone;
    if (outcome == TransformOutcome::kDone) {
      // A page's pieces, the last in its end.
      if (page.size() + message.payload.size() > max_bytes) return TransformOutcome::kTooLarge;
      page.append(message.payload);
      if (!end) continue;
      output = std::move(page);
      return outcome;
    }
    if (outcome == TransformOutcome::kCrashed && kCrashEndsTheHost) {
      std::fprintf(stderr, "korvalis: %s\n", message.payload.c_str());
      std::abort();
    }
    cause_ = message.payload;
    return outcome;
  }
}

}  // namespace korvalis::xml
