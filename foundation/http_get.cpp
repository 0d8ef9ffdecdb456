#include "foundation/http_get.h"

#include <ace/ACE.h>
#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/SOCK_Stream.h>
#include <ace/Time_Value.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "foundation/socket_library.h"

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
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  if (target.empty() || target.front() == '?') encoded = "/";
  for (char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || c == ' ') {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
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

// The answer of one connection, read with the request's deadline and the limits.
class AnswerReader {
 public:
  AnswerReader(ACE_SOCK_Stream& stream, Clock::time_point deadline, const HttpGetLimits& limits)
      : stream_(stream), deadline_(deadline), limits_(limits) {}

  // One line of the head (status line, header or trailer) without its line end; nullopt when
  // the head grows past its limit or the connection ends or stalls first.
  std::optional<std::string> HeadLine() {
    std::optional<std::string> line = Line(limits_.max_head_bytes - head_bytes_);
    if (line) head_bytes_ += line->size();
    return line;
  }

  // One chunk-size line, extensions included.
  std::optional<std::string> ChunkLine() { return Line(kMaxChunkLine); }

  // Appends exactly `count` bytes to `body`.
  bool Exactly(std::size_t count, std::string& body) {
    if (body.size() + count > limits_.max_body_bytes) return false;
    while (buffer_.size() - position_ < count) {
      if (!Fill()) return false;
    }
    body.append(buffer_, position_, count);
    position_ += count;
    return true;
  }

  // Appends everything up to the end of the connection to `body`.
  bool UpToClose(std::string& body) {
    for (;;) {
      body.append(buffer_, position_, std::string::npos);
      buffer_.clear();
      position_ = 0;
      if (body.size() > limits_.max_body_bytes) return false;
      if (!Fill()) return closed_;
    }
  }

  // Appends the decoded chunks to `body` and reads the trailer.
  bool Chunks(std::string& body) {
    for (;;) {
      const std::optional<std::string> size_line = ChunkLine();
      if (!size_line) return false;
      std::string_view size_text = *size_line;
      size_text = Trimmed(size_text.substr(0, size_text.find(';')));
      const std::optional<std::size_t> size = ParseNumber(size_text, 16);
      if (!size) return false;
      if (*size == 0) break;
      if (*size > limits_.max_body_bytes || !Exactly(*size, body)) return false;
      const std::optional<std::string> chunk_end = ChunkLine();
      if (!chunk_end || !chunk_end->empty()) return false;
    }
    for (;;) {
      const std::optional<std::string> trailer = HeadLine();
      if (!trailer) return false;
      if (trailer->empty()) return true;
    }
  }

 private:
  static constexpr std::size_t kMaxChunkLine = 1024;

  // The next line without its line end ("\n" or "\r\n"), at most `budget` bytes with its line
  // end; nullopt when it is longer, or when the connection ends or stalls first.
  std::optional<std::string> Line(std::size_t budget) {
    for (std::size_t scanned = 0;;) {
      const std::size_t end = buffer_.find('\n', position_ + scanned);
      if (end != std::string::npos) {
        if (end + 1 - position_ > budget) return std::nullopt;
        std::string line = buffer_.substr(position_, end - position_);
        position_ = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      scanned = buffer_.size() - position_;
      if (scanned > budget || !Fill()) return std::nullopt;
    }
  }

  // Reads more bytes; false at the end of the connection (closed_ then set), on a failure or
  // when the deadline has passed.
  bool Fill() {
    if (position_ > 0) {
      buffer_.erase(0, position_);
      position_ = 0;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - Clock::now());
    if (left.count() <= 0) return false;
    const ACE_Time_Value timeout(static_cast<time_t>(left.count() / 1'000'000),
                                 static_cast<suseconds_t>(left.count() % 1'000'000));
    char bytes[16384];
    const ssize_t received = stream_.recv(bytes, sizeof(bytes), &timeout);
    if (received == 0) closed_ = true;
    if (received <= 0) return false;
    buffer_.append(bytes, static_cast<std::size_t>(received));
    return true;
  }

  ACE_SOCK_Stream& stream_;
  Clock::time_point deadline_;
  const HttpGetLimits& limits_;
  std::string buffer_;
  std::size_t position_ = 0;
  std::size_t head_bytes_ = 0;
  bool closed_ = false;
};

// The parts of an answer's head that the fetch acts on.
struct AnswerHead {
  int status = 0;
  std::optional<std::string> content_length;
  std::optional<std::string> transfer_encoding;
  std::optional<std::string> location;
};

// Reads the status line and headers, passing over interim (1xx) answers.
std::optional<AnswerHead> ReadHead(AnswerReader& reader) {
  for (;;) {
    const std::optional<std::string> status_line = reader.HeadLine();
    // "HTTP/1.x NNN reason"
    if (!status_line) return std::nullopt;
    const std::string_view line = *status_line;
    if (line.size() < 12 || !line.starts_with("HTTP/1.") ||
        std::isdigit(static_cast<unsigned char>(line[7])) == 0 || line[8] != ' ' ||
        (line.size() > 12 && line[12] != ' ')) {
      return std::nullopt;
    }
    const std::optional<std::size_t> status = ParseNumber(line.substr(9, 3));
    if (!status || *status < 100) return std::nullopt;

    AnswerHead head;
    head.status = static_cast<int>(*status);
    for (;;) {
      const std::optional<std::string> line = reader.HeadLine();
      if (!line) return std::nullopt;
      if (line->empty()) break;
      const std::size_t colon = line->find(':');
      if (colon == std::string::npos || colon == 0) return std::nullopt;
      const std::string name = Lowercase(std::string_view(*line).substr(0, colon));
      const std::string value(Trimmed(std::string_view(*line).substr(colon + 1)));
      if (name == "content-length") {
        if (head.content_length && *head.content_length != value) return std::nullopt;
        head.content_length = value;
      } else if (name == "transfer-encoding") {
        head.transfer_encoding =
            head.transfer_encoding ? *head.transfer_encoding + "," + value : value;
      } else if (name == "location") {
        head.location = value;
      }
    }
    if (head.status >= 200) return head;
  }
}

// Reads the body that follows `head`.
bool ReadBody(AnswerReader& reader, const AnswerHead& head, std::string& body) {
  if (head.status == 204 || head.status == 304) return true;
  if (head.transfer_encoding) {
    std::string_view codings = *head.transfer_encoding;
    const std::size_t comma = codings.rfind(',');
    if (comma != std::string_view::npos) codings.remove_prefix(comma + 1);
    if (Lowercase(Trimmed(codings)) == "chunked") return reader.Chunks(body);
    return reader.UpToClose(body);
  }
  if (head.content_length) {
    const std::optional<std::size_t> length = ParseNumber(*head.content_length);
    return length && reader.Exactly(*length, body);
  }
  return reader.UpToClose(body);
}

bool Connect(const HttpUrl& url, const HttpGetLimits& limits, ACE_SOCK_Stream& stream) {
  ACE_INET_Addr address;
  if (address.set(static_cast<u_short>(url.port), url.host.c_str(), 1, AF_INET) != 0) return false;
  const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(limits.connect_timeout);
  const ACE_Time_Value timeout(static_cast<time_t>(wait.count() / 1'000'000),
                               static_cast<suseconds_t>(wait.count() % 1'000'000));
  ACE_SOCK_Connector connector;
  return connector.connect(stream, address, &timeout) == 0;
}

// Sends the request; a peer that has gone away fails the write instead of raising SIGPIPE.
bool SendRequest(const HttpUrl& url, Clock::time_point deadline, ACE_SOCK_Stream& stream) {
  std::string request = "GET " + url.target + " HTTP/1.1\r\nHost: " + url.host;
  if (url.port != 80) request += ":" + std::to_string(url.port);
  request += "\r\nConnection: close\r\n\r\n";
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  const ACE_Time_Value timeout(static_cast<time_t>(left.count() / 1'000'000),
                               static_cast<suseconds_t>(left.count() % 1'000'000));
  std::size_t sent = 0;
  ACE::send_n(stream.get_handle(), request.data(), request.size(), MSG_NOSIGNAL, &timeout, &sent);
  return sent == request.size();
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

std::optional<std::string> HttpGet(std::string_view url, const HttpGetLimits& limits) {
  std::optional<HttpUrl> target = ParseHttpUrl(url);
  StartSocketLibrary();
  for (int redirects = 0; target && redirects <= limits.max_redirects; ++redirects) {
    ACE_SOCK_Stream stream;
    if (!Connect(*target, limits, stream)) return std::nullopt;
    const Clock::time_point deadline = Clock::now() + limits.answer_timeout;
    AnswerReader reader(stream, deadline, limits);
    std::optional<AnswerHead> head;
    std::string body;
    const bool read = SendRequest(*target, deadline, stream) && (head = ReadHead(reader)) &&
                      ReadBody(reader, *head, body);
    stream.close();
    if (!read) return std::nullopt;
    if (head->status >= 200 && head->status < 300) return body;
    const bool redirect = head->status == 301 || head->status == 302 || head->status == 303 ||
                          head->status == 307 || head->status == 308;
    if (!redirect || !head->location) return std::nullopt;
    target = RedirectTarget(*target, *head->location);
  }
  return std::nullopt;
}

}  // namespace korvalis
