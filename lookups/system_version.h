// The version stamp of new records (GetSystemVersion, sys_param.h) and the rule that composes it
// from a product version.
//
// The stamp of a process:
//
//   EMPTY ──Get: `system_version` read (set: that text; unset: the fallback)──▶ FIXED
//     ▲  │
//     └──┘ Get: the parameter read fails (thrown; the next Get reads again)
//
// FIXED answers from memory and never changes again.
//
// Thread-safety: Get may be called from any thread. The parameter is read without holding the
// lock (a call must not wait for another call's database work while it holds its own); of
// concurrent first calls the first to finish fixes the stamp and every call answers that one.
#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "platform/sys/product_version.h"

class CSingleDataSource;

namespace korvalis::lookups {

// "major.minor.build.revision" in decimal, the build right-aligned in four digits padded with
// "0" (a wider number is written whole): 1.2.3.4 gives 1.2.0003.4, 10.0.12345.0 stays as it is.
std::u16string ComposeVersionStamp(const sys::ProductVersion& version);

class VersionStamp {
 public:
  // `fallback`: the stamp when `system_version` is not set.
  explicit VersionStamp(std::u16string fallback) : fallback_(std::move(fallback)) {}

  // The stamp; reads `system_version` through `data_source` while the stamp is empty.
  std::u16string Get(CSingleDataSource& data_source);

 private:
  const std::u16string fallback_;
  std::mutex mutex_;
  std::u16string stamp_;  // empty until the first success
};

}  // namespace korvalis::lookups
