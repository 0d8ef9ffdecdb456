// HttpGet: fetches one resource by an HTTP/1.1 GET from a plain http:// URL, for the XML files
// that the record library hands out by web address. The network library (libcurl) makes the
// connection and reads the answer; this client decides what is fetched and what is accepted.
// One request per connection ("Connection: close"); the body comes by Content-Length, by
// chunks or up to the closing of the connection.
//
// Nothing but http:// is ever fetched: a URL of another scheme, or one that names a user, a
// port out of range or a control character, is refused before any connection; a redirect is
// followed only to another http:// URL (or a path on the same server), at most
// HttpGetLimits::max_redirects times. Every request is bounded in time and in size.
//
// Thread-safety: stateless functions; requests on several threads run side by side.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis {

// A parsed http:// URL: the server and the request target sent in the request line.
struct HttpUrl {
  std::string host;  // a name or an IPv4 address
  int port = 80;
  std::string target;  // "/" at least; path and query, non-ASCII bytes and blanks %-encoded
};

// The URL when `url` is an http:// URL as a whole: "http://" (in small letters), a host of
// letters, digits, "." and "-", an optional port from 1 to 65535, then an optional path and
// query; a fragment ("#...") is dropped. nullopt for anything else: another scheme, a user
// ("user@host"), an empty host, a bad port, or a control character anywhere.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);

struct HttpGetLimits {
  // Bound on connecting to one server.
  std::chrono::milliseconds connect_timeout{10'000};
  // Bound on one request from the connection made to the last byte of its answer.
  std::chrono::milliseconds answer_timeout{30'000};
  // Largest body accepted, and largest status line and headers together.
  std::size_t max_body_bytes = 16u << 20;
  std::size_t max_head_bytes = 64u << 10;
  // Most redirects followed for one fetch.
  int max_redirects = 5;
};

// The body of the resource at `url` when the server answers it with a 2xx status, following
// redirects (301, 302, 303, 307, 308) whose Location is an http:// URL or an absolute path.
// nullopt when the URL is refused (ParseHttpUrl), no connection can be made, the answer is
// malformed, carries another status, exceeds a limit or is not complete in time; then
// *failure, when given, says which, in words for an operator's log.
std::optional<std::string> HttpGet(std::string_view url, const HttpGetLimits& limits = {},
                                   std::string* failure = nullptr);

}  // namespace korvalis
