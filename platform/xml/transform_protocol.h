// The messages between a host process, the transformation worker and the worker's children
// (platform/sys/message_socket.h carries them). The host holds one control connection to the
// worker; each transformation has a connection of its own, which the host makes and hands to
// the worker with a kStart message, and which the child the worker forks for it then owns:
//
//   host                           worker                           child
//   ────                           ──────                           ─────
//   kStart + connection ─────────▶ fork ──────────────────────────▶ (its connection only)
//   kOrder ─────────────────────────────────────────────────────▶ limits set
//   kStylesheet ... ─────────────────────────────────────────────▶ held, loaded
//   kSource ... ─────────────────────────────────────────────────▶ parsed as it comes
//   kRun ────────────────────────────────────────────────────────▶ transformed
//   ◀─────────────────────────────────────────────────────────── kPage ... kPage
//   ◀─────────────────────────────────────────────────────────── kEnd(status, note)
//                                  reaps the child; for a child that ended without its kEnd
//   ◀───────────────────────────── kEnd(kDied or kTimedOut, how it ended)
//
// A connection the host closes ends the child (the worker kills it); the control connection
// closed ends the worker and its children. Every outcome is a kEnd, never the end of a
// connection.
#pragma once

#include <cstdint>

namespace korvalis::xml {

// The worker's program, installed beside the library (platform/sys/installed_file.h).
inline constexpr char kTransformWorkerName[] = "korvalis-transformer";

enum class TransformMessage : std::uint32_t {
  kStart = 1,   // host to worker: the transformation's connection travels with it
  kOrder,       // host to child: a TransformOrder
  kStylesheet,  // host to child: the next piece of the style sheet's text (UTF-8)
  kSource,      // host to child: the next piece of the source's text (UTF-8)
  kRun,         // host to child: the source is whole
  kPage,        // child to host: the next piece of the page (UTF-8)
  kEnd,         // child or worker to host: status TransformStatus, payload a note
};

enum class TransformStatus : std::uint32_t {
  kTransformed = 0,
  kNotTransformed,        // the style sheet does not compile or the processor failed
  kStylesheetNotLoaded,   // the style sheet's text does not parse
  kSourceNotLoaded,       // the source's text does not parse
  kPageTooLarge,          // the page passed max_output_units
  kMemorySpent,           // an allocation passed the budget or was refused
  kTimedOut,              // the child used its processor time
  kDied,                  // the child ended otherwise (the note says how)
  kNotStarted,            // no child could be made (the note says why)
};

// Who wrote a text: the system's own texts load whatever their sizes, a caller's keep the
// parser's limits (xml::Document::Writer).
enum class TextWriter : std::uint8_t { kCaller = 0, kSystem = 1 };

struct TransformOrder {
  std::uint64_t max_output_units;   // the page's length as UTF-16 code units
  std::uint64_t max_working_bytes;  // what the processor may allocate
  std::uint32_t cpu_seconds;        // processor time, zero for none
  TextWriter stylesheet_writer;
  TextWriter source_writer;
};

}  // namespace korvalis::xml
