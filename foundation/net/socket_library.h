// The network library (libcurl) of the system's HTTP and SOAP clients: started once for the
// process by the first client that needs it and stopped when the process (or the library
// holding this code) unloads. NewCurlEasy hands out one transfer handle set up as every client
// of the system wants it: direct connections only (no proxy from the environment), plain
// http:// only, no signals, and no redirect followed by the library itself.
//
// Thread-safety: StartSocketLibrary and NewCurlEasy may be called from any thread; a handle
// belongs to one thread at a time.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace korvalis {

void StartSocketLibrary();

struct CurlEasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

// A new transfer handle; null when the library cannot make one.
CurlEasy NewCurlEasy();

}  // namespace korvalis
