// How a transformation's process ended, told from its wait status and its processor time: the
// worker answers with it for a child that ended without its own kEnd, and the host names a
// worker that ended.
//
// Thread-safety: pure functions.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/xml/transform_protocol.h"

namespace korvalis::xml {

// A child's exit codes. A child that sent its kEnd exits with 0; one whose host went away has
// no one to tell; the others ended without an answer and the worker tells how.
inline constexpr int kChildSentItsEnd = 0;
inline constexpr int kChildLostItsHost = 3;
inline constexpr int kChildMisread = 4;   // a message out of order or of another version
inline constexpr int kChildNotSetUp = 5;  // its descriptors or limits could not be set

// Whether a child's crash ends the host too: so in a build under AddressSanitizer (the sanitizer
// recipe, the fuzzers), where a fault the child's sanitizer found must fail the run that met it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kCrashEndsTheHost = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kCrashEndsTheHost = true;
#else
inline constexpr bool kCrashEndsTheHost = false;
#endif
#else
inline constexpr bool kCrashEndsTheHost = false;
#endif

// "exited with code 3", "ended by signal 11 (Segmentation fault)".
std::string DescribeEnd(int wait_status);

struct ChildEnd {
  TransformOutcome outcome;
  std::string note;
};

// What the worker tells of a child that ended with `wait_status` after using `usage`, given
// `cpu_seconds` of processor time (0: none); nullopt when the child told its own end or its host
// is gone. A child killed at its processor limit used that time; any other signal from outside is
// told with its name, and a SIGKILL as the system's shortage of memory only when
// `memory_killer_acted` (the kernel's out-of-memory killer ended a process meanwhile).
std::optional<ChildEnd> ChildEndOf(int wait_status, const rusage& usage, std::uint32_t cpu_seconds,
                                   bool memory_killer_acted);

// How many processes the kernel's out-of-memory killer has ended since the system started
// (/proc/vmstat); nullopt where the system does not tell.
std::optional<std::uint64_t> MemoryKillerEnded();

}  // namespace korvalis::xml
