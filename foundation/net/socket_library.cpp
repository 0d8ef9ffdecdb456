#include "foundation/net/socket_library.h"

namespace korvalis {

void StartSocketLibrary() {
  // Started once and never cleaned up: other threads may still transfer while the host exits.
  [[maybe_unused]] static const bool started = (curl_global_init(CURL_GLOBAL_DEFAULT), true);
}

CurlEasy NewCurlEasy() {
  StartSocketLibrary();
  CurlEasy easy(curl_easy_init());
  if (!easy) return easy;
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  return easy;
}

}  // namespace korvalis
