// The product version of this library: the four 16-bit numbers (major, minor, build, revision)
// that a version resource would carry, compiled in from the project's version. It stands in for
// reading the version of the server component's file.
//
// Thread-safety: constant.
#pragma once

#include <cstdint>

namespace korvalis::sys {

struct ProductVersion {
  std::uint16_t major;
  std::uint16_t minor;
  std::uint16_t build;
  std::uint16_t revision;
};

// The version the build compiled into the library (the project's version, missing parts 0).
ProductVersion LibraryProductVersion();

}  // namespace korvalis::sys
