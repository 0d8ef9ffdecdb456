// The messages between a host process, the transformation worker and the worker's children
// (platform/sys/message_socket.h carries them). The host holds one control connection to the
// worker; each transformation has a connection of its own, which the host makes and hands to
// the worker with a kStart message, and which the child the worker forks for it then owns:
//
//   host                           worker                           child
//   ────                           ──────                           ─────
//   ◀───────────────────────────── kHello(version), once, at its start
//   kStart(order) + connection ──▶ hands it to a spare ───────────▶ (its connection only)
//   kStylesheet ... ─────────────────────────────────────────────▶ held, loaded
//   kSource ... ─────────────────────────────────────────────────▶ parsed as it comes
//   kRun ────────────────────────────────────────────────────────▶ transformed
//   ◀───────────────────────────── kStarted (or kEnd(kUnavailable): no child could be made)
//   ◀─────────────────────────────────────────────────────────── kPage ... kPage
//   ◀─────────────────────────────────────────────────────────── kEnd(outcome, note), or
//                                                                 kEnd(kDone, the page's last
//                                                                 piece)
//                                  reaps the child; for a child that ended without its kEnd
//   ◀───────────────────────────── kEnd(how it ended, note), sent once there is room
//
// The host sends the texts right behind the kStart, without waiting for kStarted, as far as the
// connection holds them; it keeps them until the worker acknowledges, so that a start that a
// worker never acknowledged (it ended, or stayed silent and was replaced) is made once more.
// kStarted may come behind the child's first messages: any of them acknowledges the start too.
//
// A transformation is ended by the host's Shutdown of its connection: the worker kills the
// child. The worker ends itself and its children when the host process ends (it watches the
// host's process, not a descriptor that the host's forked children may hold). A connection
// that closes with no kEnd means the worker itself ended.
//
// Every message is its kind, its status and its bytes (message_socket.h); the payloads below
// are written field by field, integers least significant byte first. The version is told in
// kHello and again in kStart, and a side that reads another refuses to go on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::xml {

// The worker's program, installed beside the library (platform/sys/installed_file.h).
inline constexpr char kTransformWorkerName[] = "korvalis-transformer";

// The version of the messages below; a change to any of them takes the next number.
inline constexpr std::uint32_t kTransformProtocolVersion = 4;

// The worker's program file carries the version of its messages as text, so that the host reads
// it before it runs the program: kWorkerVersionMark, the version in decimal, then ';'.
inline constexpr std::string_view kWorkerVersionMark =
    "korvalis-transformer speaks messages of version ";

// The mark this build's worker carries.
constexpr std::array<char, kWorkerVersionMark.size() + 12> WorkerVersionMark() {
  std::array<char, kWorkerVersionMark.size() + 12> mark{};
  std::size_t length = 0;
  for (const char c : kWorkerVersionMark) mark[length++] = c;
  char digits[10] = {};
  std::size_t count = 0;
  for (std::uint32_t rest = kTransformProtocolVersion; count == 0 || rest > 0; rest /= 10) {
    digits[count++] = static_cast<char>('0' + rest % 10);
  }
  while (count > 0) mark[length++] = digits[--count];
  mark[length] = ';';
  return mark;
}

// The version the mark in a program file's bytes tells; nullopt when they carry none.
std::optional<std::uint32_t> FindWorkerVersion(std::string_view program);
enum class TransformMessage : std::uint32_t {
  kHello = 1,   // worker to host, first on the control connection: the version (EncodeHello)
  kStart,       // host to worker: the order (EncodeOrder); the connection travels with it
  kStarted,     // worker to host on the transformation's connection: its child runs
  kStylesheet,  // host to child: the next piece of the style sheet's text (UTF-8)
  kSource,      // host to child: the next piece of the source's text (UTF-8)
  kRun,         // host to child: the source is whole
  kPage,        // child to host: the next piece of the page (UTF-8)
  kEnd,         // child or worker to host: status a TransformOutcome, payload a note; for
                // kDone, the page's last piece (possibly empty), after any kPage
  kChildFree,   // child to worker, before its kEnd of a page: it takes the next kStart once the
                // host hung up (the worker reads it then, not woken before); payload
                // the processor seconds it has used (decimal), from which its next time counts
};

// A message's kind as the wire carries it.
constexpr std::uint32_t Kind(TransformMessage message) {
  return static_cast<std::uint32_t>(message);
}

// How a transformation ended: one vocabulary for the child, the worker and the caller.
enum class TransformOutcome : std::uint32_t {
  kDone = 0,                 // the page is whole
  kFailed = 1,               // the style sheet does not compile, or the processor failed or was
                             // stopped (xsl:message terminate="yes", templates nested too deep)
  kStylesheetNotLoaded = 2,  // the style sheet's text does not parse
  kSourceNotLoaded = 3,      // the source's text does not parse
  kTooLarge = 4,             // the page passed max_output_units
  kOutOfMemory = 5,          // the work passed max_working_bytes, or memory was refused
  kProcessorTimeSpent = 6,   // the child used the processor time it was given
  kKilled = 7,               // the child was ended by a signal from outside (or for want of memory)
  kCrashed = 8,              // the child faulted (a signal), or exited without finishing
  kForbiddenCall = 9,        // the child made a system call it may not make
  kDeadlinePassed = 10,      // the call's time limit passed (told by the host, never sent)
  kBusy = 11,                // no turn among the process's transformations came in time
  kWorkerEnded = 12,         // the worker ended while the transformation was in it
  kUnavailable = 13,         // the worker cannot be found, started or reached, or no child could
                             // be made
};

// The outcomes that tell of a fault of the system rather than of the texts or the bounds: the
// caller's answer carries their cause.
constexpr bool IsFault(TransformOutcome outcome) {
  return outcome == TransformOutcome::kKilled || outcome == TransformOutcome::kCrashed ||
         outcome == TransformOutcome::kForbiddenCall || outcome == TransformOutcome::kWorkerEnded ||
         outcome == TransformOutcome::kUnavailable;
}

// An outcome read off the wire; anything unknown is a failure.
TransformOutcome OutcomeFromWire(std::uint32_t status);

// Who wrote a text: the system's own texts load whatever their sizes, a caller's keep the
// parser's limits (xml::Document::Writer).
enum class TextWriter : std::uint8_t { kCaller = 0, kSystem = 1 };

struct TransformOrder {
  std::uint64_t max_output_units = 0;   // the page's length as UTF-16 code units
  std::uint64_t max_working_bytes = 0;  // what the processor may allocate
  std::uint32_t cpu_seconds = 0;        // processor time, zero for none
  TextWriter stylesheet_writer = TextWriter::kCaller;
  TextWriter source_writer = TextWriter::kCaller;
  // How many transformations of the host work at once: at that many children, a start waits in
  // the worker while one that was killed is still ending.
  std::uint32_t max_children = 1;
};

std::string EncodeHello();
// The version a kHello tells; nullopt for a payload that is not one.
std::optional<std::uint32_t> DecodeHello(std::string_view payload);

std::string EncodeOrder(const TransformOrder& order);
// The order of a kStart of this version; nullopt for another version or a malformed payload.
std::optional<TransformOrder> DecodeOrder(std::string_view payload);

}  // namespace korvalis::xml
