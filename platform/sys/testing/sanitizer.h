// Whether the tests were built with a sanitizer that keeps memory of its own (AddressSanitizer's
// shadow memory and the quarantine of freed blocks it never gives back, ThreadSanitizer's and
// MemorySanitizer's shadow). A test that measures the process's memory cannot tell the code's
// share from the sanitizer's there: it leaves that measure out (the benchmarks under bench/
// take it), and keeps every other check.
//
// Thread-safety: a constant.
#pragma once

namespace korvalis::sys::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizerHoldsMemory = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
inline constexpr bool kSanitizerHoldsMemory = true;
#else
inline constexpr bool kSanitizerHoldsMemory = false;
#endif
#else
inline constexpr bool kSanitizerHoldsMemory = false;
#endif

}  // namespace korvalis::sys::testing
