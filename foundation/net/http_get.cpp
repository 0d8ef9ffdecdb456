#include "foundation/net/http_get.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>

#include "foundation/net/socket_library.h"
#include "platform/text/hex.h"

namespace korvalis {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kScheme = "http://";

bool IsHostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-';
}

bool IsControlCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The target with every non-ASCII byte and blank %-encoded; "/" when empty.
std::string EncodedTarget(std::string_view target) {
  std::string encoded;
  if (target.empty() || target.front() == '?') encoded = "/";
  for (char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || c == ' ') {
      encoded += '%';
      AppendHexByte(encoded, byte, HexLetters::kCapital);
    } else {
      encoded += c;
    }
  }
  return encoded;
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Parses all of `text` as an unsigned number in `base`.
std::optional<std::size_t> ParseNumber(std::string_view text, int base = 10) {
  std::size_t value = 0;
  if (text.empty()) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string TooLong(const HttpGetLimits& limits) {
  return "the answer is longer than " + std::to_string(limits.max_body_bytes) + " bytes";
}

// What one request gathers of its answer, within the limits of the fetch.
class Transfer {
 public:
  Transfer(CURL* handle, const HttpGetLimits& limits) : handle_(handle), limits_(limits) {}

  std::string& body() { return body_; }
  const std::optional<std::string>& location() const { return location_; }
  // Why this client refused the answer while it came; "" when it did not.
  const std::string& refusal() const { return refusal_; }

  // Takes one line of the head (status line, header, blank line or trailer) with its line
  // end. False refuses the answer: the head grows past its limit, Content-Length is no
  // number or two of them differ.
  bool HeadLine(std::string_view line) {
    if (line.size() > limits_.max_head_bytes - head_bytes_) {
      return Refuse("the answer's head is longer than " + std::to_string(limits_.max_head_bytes) +
                    " bytes");
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    head_bytes_ += line.size();
    if (line.starts_with("HTTP/")) {  // an interim answer's fields do not carry over
      content_length_.reset();
      location_.reset();
      return true;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string name = Lowercase(line.substr(0, colon));
    const std::string value(Trimmed(line.substr(colon + 1)));
    if (name == "content-length") {
      if (!ParseNumber(value) || (content_length_ && *content_length_ != value)) {
        return Refuse("the answer's Content-Length is no number, or two of them differ");
      }
      content_length_ = value;
    } else if (name == "location") {
      location_ = value;
    }
    return true;
  }

  // Takes bytes of the body; false when they would pass the size limit.
  bool BodyBytes(std::string_view bytes) {
    if (bytes.size() > limits_.max_body_bytes - body_.size()) return Refuse(TooLong(limits_));
    body_.append(bytes);
    return true;
  }

  // False once the answer has taken longer than its time-out since the connection was made.
  bool InTime() {
    curl_off_t connected = 0;  // microseconds from the start; 0 until connected
    curl_easy_getinfo(handle_, CURLINFO_CONNECT_TIME_T, &connected);
    return connected == 0 ||
           Clock::now() - started_ <= std::chrono::microseconds(connected) + limits_.answer_timeout ||
           Refuse("the answer was not complete within " +
                  std::to_string(limits_.answer_timeout.count()) + " ms");
  }

 private:
  bool Refuse(std::string why) {
    refusal_ = std::move(why);
    return false;
  }

  CURL* handle_;
  const HttpGetLimits& limits_;
  const Clock::time_point started_ = Clock::now();
  std::size_t head_bytes_ = 0;
  std::optional<std::string> content_length_;
  std::optional<std::string> location_;
  std::string body_;
  std::string refusal_;
};

std::size_t OnHeadLine(char* bytes, std::size_t size, std::size_t count, void* transfer) {
  const std::size_t length = size * count;
  return static_cast<Transfer*>(transfer)->HeadLine({bytes, length}) ? length : 0;
}

std::size_t OnBodyBytes(char* bytes, std::size_t size, std::size_t count, void* transfer) {
  const std::size_t length = size * count;
  return static_cast<Transfer*>(transfer)->BodyBytes({bytes, length}) ? length : 0;
}

// Called while the request runs; a non-zero answer ends it.
int OnProgress(void* transfer, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(transfer)->InTime() ? 0 : 1;
}

// The URL a redirect's Location names, relative to `from`.
std::optional<HttpUrl> RedirectTarget(const HttpUrl& from, const std::string& location) {
  if (location.starts_with(kScheme)) return ParseHttpUrl(location);
  if (!location.starts_with("/") || location.starts_with("//")) return std::nullopt;
  std::optional<HttpUrl> target = ParseHttpUrl("http://" + from.host + location);
  if (target) target->port = from.port;
  return target;
}

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
  if (!url.starts_with(kScheme)) return std::nullopt;
  if (std::any_of(url.begin(), url.end(), IsControlCharacter)) return std::nullopt;
  url.remove_prefix(kScheme.size());
  url = url.substr(0, url.find('#'));
  const std::size_t authority_end = std::min(url.find('/'), url.find('?'));
  const std::string_view authority = url.substr(0, authority_end);

  HttpUrl parsed;
  const std::size_t colon = authority.find(':');
  const std::string_view host = authority.substr(0, colon);
  if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostCharacter)) return std::nullopt;
  parsed.host = host;
  if (colon != std::string_view::npos) {
    const std::optional<std::size_t> port = ParseNumber(authority.substr(colon + 1));
    if (!port || *port == 0 || *port > 65535) return std::nullopt;
    parsed.port = static_cast<int>(*port);
  }
  parsed.target = EncodedTarget(
      authority_end == std::string_view::npos ? std::string_view() : url.substr(authority_end));
  return parsed;
}

std::optional<std::string> HttpGet(std::string_view url, const HttpGetLimits& limits,
                                   std::string* failure) {
  std::string ignored;
  std::string& why = failure != nullptr ? *failure : ignored;
  why.clear();
  std::optional<HttpUrl> target = ParseHttpUrl(url);
  if (!target) {
    why = "the address is no whole http:// URL";
    return std::nullopt;
  }
  const CurlEasy easy = NewCurlEasy();
  if (!easy) {
    why = "the network library cannot start a transfer";
    return std::nullopt;
  }
  CURL* handle = easy.get();
  // The library sends the request line and Host; "Accept" is not sent, and the server closes
  // the connection after its answer.
  curl_slist* headers = curl_slist_append(nullptr, "Accept:");
  headers = curl_slist_append(headers, "Connection: close");
  const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> header_list(
      headers, &curl_slist_free_all);
  char library_error[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, library_error);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(handle, CURLOPT_IPRESOLVE, CURL_IPRESOLVE_V4);
  curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(limits.connect_timeout.count()));
  // The answer's own bound is checked while it runs (OnProgress); this one backs it up.
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                   static_cast<long>((limits.connect_timeout + limits.answer_timeout).count()));
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(limits.max_body_bytes));
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeadLine);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBodyBytes);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);

  for (int redirects = 0; redirects <= limits.max_redirects; ++redirects) {
    Transfer transfer(handle, limits);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    const std::string address =
        "http://" + target->host + ":" + std::to_string(target->port) + target->target;
    curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
    library_error[0] = '\0';
    if (const CURLcode code = curl_easy_perform(handle); code != CURLE_OK) {
      // This client's own refusal first; then the library's words, most specific first.
      why = !transfer.refusal().empty()       ? transfer.refusal()
            : code == CURLE_FILESIZE_EXCEEDED ? TooLong(limits)
            : library_error[0] != '\0'        ? std::string(library_error)
                                              : std::string(curl_easy_strerror(code));
      return std::nullopt;
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200 && status < 300) return std::move(transfer.body());
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (!redirect || !transfer.location()) {
      why = "the server answered with status " + std::to_string(status);
      return std::nullopt;
    }
    target = RedirectTarget(*target, *transfer.location());
    if (!target) {
      why = "the server redirected to an address that is no http:// URL";
      return std::nullopt;
    }
  }
  why = "the server redirected more than " + std::to_string(limits.max_redirects) + " times";
  return std::nullopt;
}

}  // namespace korvalis
