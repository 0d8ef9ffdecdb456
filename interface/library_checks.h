// The libraries the system loads, each checked by one small operation through it: what the
// `korvalis` command loads for its own work, and what the calls of a component library load,
// found as that library's own code finds them (the transformation worker and the cipher module
// beside it). A library's file holds the checks of its calls, so that a library copied or moved
// elsewhere is checked where it is.
//
// Thread-safety: CheckLibraries may be called from any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/com/hresult.h"

namespace korvalis::frame {

// Whose libraries are checked.
enum class LibrariesOf {
  kCommand,  // sqlite, libpq, libxml2, xerces, zlib, ICU, libcurl, PCRE2
  kCalls,    // those, and libxslt in the transformation worker, Crypto++ in the cipher module
};

struct LibraryCheck {
  const char* name;     // "sqlite", "libxslt", "crypto++" ...
  bool works;
  std::string failure;  // why not, when known: for a file that cannot be found, every place tried
};

std::vector<LibraryCheck> CheckLibraries(LibrariesOf whose);

// The entry point a component library exports to check the libraries its calls load:
// `report` is called once per library, `failure` null when it works, else why not ("" when
// nothing more is known).
using LibraryCheckReport = void (*)(void* context, const char* name, const char* failure);
using DllCheckLibrariesFn = HRESULT (*)(LibraryCheckReport report, void* context);
inline constexpr char kCheckLibrariesExport[] = "DllCheckLibraries";

}  // namespace korvalis::frame
