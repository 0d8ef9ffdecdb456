// korvalis::xml::Transformation: an XSLT 1.0 transformation made by the transformation worker
// (platform/xml/worker/), a program of the system's own, never in the calling process: its time,
// its memory (even within one XPath step), its page and any fault of the processor are bounded
// there, and the calling process only writes the texts and reads the page. The processor keeps
// the conventions of the system's clients (worker/xslt_processor.h): msxsl:node-set, the output
// as text whose declaration names UTF-16, no file or network reached, templates nested 10,000
// deep.
//
// The source is written piece by piece: the first kHeldSourceBytes are held here, so that a small
// transformation is sent whole at once, behind its start and ahead of the worker's
// acknowledgement, and the caller wakes once, for its page; beyond them the pieces go to the
// worker as they come and are parsed there, so that a large source is never held whole by the
// caller.
// Its work waits for a turn among the process's transformations (transformation_turns.h), taken
// when the work is ready (Finish), never while the source is still written: a report's
// statement that streams its rows holds no turn and never waits for one.
//
// The time limit is spent only while the caller waits for the transformation: while the source
// is still written, the time its pieces wait for the transformation's process to take them
// (never the writer's own time, such as a statement reading its rows); then one deadline, fixed
// when the work is ready, for the rest of the limit: the wait for a turn, the rest of the
// source, the work and the page.
//
//   Transformation transformation(stylesheet, TextWriter::kCaller, TextWriter::kSystem, limits);
//   transformation.AppendSource("<root>");  ...
//   TransformOutcome outcome = transformation.Finish("</root>", page, &cause);
//
// Thread-safety: a transformation belongs to one thread; distinct ones may run on distinct
// threads at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sys/message_socket.h"
#include "platform/xml/transform_protocol.h"
#include "platform/xml/transform_worker.h"
#include "platform/xml/transformation_turns.h"

namespace korvalis::xml {

// What of a source is held by the caller before it goes to the worker.
inline constexpr std::size_t kHeldSourceBytes = 256 * 1024;

// What one transformation may take.
struct TransformLimits {
  std::size_t max_output_units;            // the output's length as UTF-16 code units
  std::size_t max_working_bytes;           // what libxml2 and libxslt allocate while it runs
  std::chrono::milliseconds max_duration;  // how long it may run; zero: no bound
};

class Transformation {
 public:
  // Precondition: `stylesheet` is the whole text of the style sheet (UTF-8).
  Transformation(std::string stylesheet, TextWriter stylesheet_writer, TextWriter source_writer,
                 const TransformLimits& limits);
  // Ends the work if it still runs: its connection is shut down, and the worker kills its
  // process.
  ~Transformation();
  Transformation(const Transformation&) = delete;
  Transformation& operator=(const Transformation&) = delete;

  // Adds the next piece of the source's text (UTF-8). Once the transformation has failed (its
  // process ended, its time ran out), pieces are passed over and Finish answers the failure.
  // Precondition: Finish was not called.
  void AppendSource(std::string_view piece);

  // Ends the source with `last_piece` and waits for the page. Unless the outcome is kDone,
  // `output` is left unchanged and `cause`, when given, receives what the processor said of its
  // failure or how the transformation ended (empty when there is nothing more to say). What is
  // left of the time limit counts from here. Precondition: called once.
  TransformOutcome Finish(std::string_view last_piece, std::string& output,
                          std::string* cause = nullptr);
  TransformOutcome Finish(std::string& output, std::string* cause = nullptr) {
    return Finish({}, output, cause);
  }

 private:
  using Deadline = sys::MessageSocket::Deadline;
  // What became of a start that the worker never acknowledged.
  enum class Unacknowledged { kNone, kSilent, kWorkerEnded };
  // What came on the connection (Hear).
  enum class Heard { kMessage, kUnacknowledged, kClosed, kDeadlinePassed, kFailed };

  // The deadline that the rest of the time limit gives from now.
  Deadline DeadlineFromNow() const;
  // Waits for a turn; false, failed kBusy, when none came before `deadline`.
  bool TakeTurn(const Deadline& deadline);
  // Hands a new connection to the worker, started first when none runs; false when the
  // transformation has failed.
  bool HandOver(const Deadline& deadline);
  // Opens a source that is still written: hands it over, sends the style sheet and the held
  // source, and waits for the worker's acknowledgement, so that the pieces that follow, which are
  // not kept, go to a child at work. False when the transformation has failed.
  bool Open(const Deadline& deadline);
  // Runs a source held whole: hands it over, sends the style sheet, the held source, `last_piece`
  // and kRun at once, ahead of the worker's acknowledgement, and reads the page.
  TransformOutcome RunHeld(std::string_view last_piece, const Deadline& deadline,
                           std::string& output);
  // After a start that the worker never acknowledged (it ended, or stayed silent and was
  // replaced): nothing of the transformation ran, so the start is made once more from its kept
  // texts; true for that first time, false the second, the failure recorded.
  bool StartAgain(int attempt);
  // Sends `text` as messages of `kind`, none for an empty text; false as Deliver.
  bool SendText(TransformMessage kind, std::string_view text, const Deadline& deadline);
  // Sends one message; false as Deliver.
  bool SendMessage(TransformMessage kind, std::string_view payload, const Deadline& deadline);
  // Sends by `send(deadline)`, which sends what is left of its messages. Until the worker
  // acknowledged the start they go only as far as the connection has room at once; where it has
  // none, the acknowledgement is awaited first, so that a silent worker is found within
  // kWorkerAnswerTime. False when the transformation has failed, or its start was never
  // acknowledged (unacknowledged_).
  template <class Send>
  bool Deliver(Send send, const Deadline& deadline);
  // Waits for the worker's acknowledgement of the start; false as SendMessage.
  bool AwaitAcknowledgement(const Deadline& deadline);
  // Receives the next message. Until the start is acknowledged (kStarted, or any message of the
  // child's) it waits no longer than answer_by_: a worker silent until then is replaced, and it
  // and a worker that ended before acknowledging answer kUnacknowledged.
  Heard Hear(sys::Message& message, const Deadline& deadline);
  // Records a send that failed: the deadline passed, the worker ended, or the process took no
  // more text.
  void FailToSend();
  // How the worker ended, for a transformation whose connection closed without its end.
  std::string WorkerEndedCause() const;
  // Records how the transformation failed while its texts were sent: the process's own end when
  // it sent one, else `outcome` with `cause`.
  void Fail(TransformOutcome outcome, std::string cause);
  // Reads the page and the end; nullopt when the worker never acknowledged the start.
  std::optional<TransformOutcome> Receive(const Deadline& deadline, std::string& output);

  std::string stylesheet_;
  std::size_t style_;  // the style sheet among the turns
  TransformOrder order_;
  TransformLimits limits_;
  std::string held_;  // the source's start, until it passes kHeldSourceBytes
  std::chrono::steady_clock::duration waited_{};  // spent by pieces waiting for the process
  std::chrono::steady_clock::duration turn_waited_{};  // spent waiting for a turn
  sys::MessageSocket connection_;
  WorkerTicket ticket_;
  bool acknowledged_ = false;                        // the worker took the last start
  std::chrono::steady_clock::time_point answer_by_;  // when its acknowledgement is due
  Unacknowledged unacknowledged_ = Unacknowledged::kNone;
  TransformationTurns::Turn turn_;
  std::optional<TransformOutcome> failure_;
  std::string cause_;
};

// The transformation of a whole source text.
inline TransformOutcome TransformText(std::string_view source, TextWriter source_writer,
                                      std::string_view stylesheet, TextWriter stylesheet_writer,
                                      const TransformLimits& limits, std::string& output,
                                      std::string* cause = nullptr) {
  Transformation transformation(std::string(stylesheet), stylesheet_writer, source_writer, limits);
  return transformation.Finish(source, output, cause);
}

}  // namespace korvalis::xml
