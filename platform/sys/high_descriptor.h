// The library's own descriptors live at 3 and above. A host may have closed its standard input,
// output or error; a descriptor the library opens would then take 0, 1 or 2, and the host's own
// writes to its standard output would land in a connection of the library's. Each descriptor the
// library makes passes through AboveStandard as soon as it exists; where another library makes a
// descriptor that cannot be moved (a database client's socket), StandardDescriptorsHeld keeps
// the free standard ones taken while it does.
//
// Thread-safety: thread-safe.
#pragma once

namespace korvalis::sys {

// The lowest descriptor a library's descriptor may take.
inline constexpr int kLowestLibraryDescriptor = 3;

// `descriptor` itself when it is 3 or above; otherwise a close-on-exec copy at 3 or above, and
// `descriptor` is closed. -1 with errno when no copy can be made (`descriptor` is closed then
// too). A negative `descriptor` is returned as it is.
int AboveStandard(int descriptor);

// While it lives, each of the standard descriptors 0-2 that the process has closed is held open on
// /dev/null, so that a descriptor made meanwhile lands at 3 or above. At its end, each one it
// holds is closed again, unless the host has put something else there meanwhile.
class StandardDescriptorsHeld {
 public:
  StandardDescriptorsHeld();
  ~StandardDescriptorsHeld();
  StandardDescriptorsHeld(const StandardDescriptorsHeld&) = delete;
  StandardDescriptorsHeld& operator=(const StandardDescriptorsHeld&) = delete;

 private:
  bool held_[kLowestLibraryDescriptor] = {};
};

}  // namespace korvalis::sys
