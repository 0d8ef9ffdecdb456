#include "foundation/net/http_get.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/loopback_http_server.h"

namespace korvalis {
namespace {

using testing::LoopbackHttpServer;
using Answer = LoopbackHttpServer::Answer;

// `text` in the gzip format.
std::string Gzip(const std::string& text) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, text.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string Hex(std::size_t number) {
  char text[32];
  std::snprintf(text, sizeof(text), "%zX", number);
  return text;
}

TEST(ParseHttpUrl, AcceptsWholeHttpUrlsOnly) {
  const std::optional<HttpUrl> plain = ParseHttpUrl("http://his.example/dict/a.xml?v=1#top");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->host, "his.example");
  EXPECT_EQ(plain->port, 80);
  EXPECT_EQ(plain->target, "/dict/a.xml?v=1");

  const std::optional<HttpUrl> bare = ParseHttpUrl("http://10.0.0.7:8080");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->port, 8080);
  EXPECT_EQ(bare->target, "/");
  EXPECT_EQ(ParseHttpUrl("http://h?q=1")->target, "/?q=1");
  // Blanks and non-ASCII bytes travel %-encoded.
  EXPECT_EQ(ParseHttpUrl("http://h/字典 1.xml")->target, "/%E5%AD%97%E5%85%B8%201.xml");

  for (const char* refused :
       {"", "http://", "HTTP://h/a.xml", "https://h/a.xml", "file:///etc/passwd#http://",
        " http://h/", "http://user@h/", "http://user:pw@h/", "http://h:0/", "http://h:65536/",
        "http://h:/", "http://h:8o/", "http://[::1]/", "http://h_1/", "http:///a.xml",
        "http://h/a\r\nX-Evil: 1", "http://h/a\tb", "http://h/\x7f"}) {
    EXPECT_FALSE(ParseHttpUrl(refused)) << refused;
  }
}

TEST(HttpGet, ReadsBodiesOfEveryFraming) {
  LoopbackHttpServer server;
  server.Serve("/length", LoopbackHttpServer::Ok("<a>长度</a>"));
  server.Serve("/chunks", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
                           "4;name=x\r\n<a>c\r\n"
                           "A\r\nhunked</a>\r\n0\r\nX-Trailer: 1\r\n\r\n"});
  // A transfer coding before the chunks is undone; one the bytes do not match fails the read.
  const std::string gzipped = Gzip("<a>gzip</a>");
  server.Serve("/gzip", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n" +
                         Hex(gzipped.size()) + "\r\n" + gzipped + "\r\n0\r\n\r\n"});
  server.Serve("/notgzip", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n"
                            "4\r\n<a/>\r\n0\r\n\r\n"});
  server.Serve("/close", {"HTTP/1.0 200 OK\nContent-Type: text/xml\n\n<a>to close</a>"});
  server.Serve("/interim", {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n"
                            "Content-Length: 4\r\n\r\n<a/>"});
  server.Serve("/empty", {"HTTP/1.1 204 No Content\r\n\r\n"});

  EXPECT_EQ(HttpGet(server.Url("/length")), "<a>长度</a>");
  EXPECT_EQ(HttpGet(server.Url("/chunks")), "<a>chunked</a>");
  EXPECT_EQ(HttpGet(server.Url("/gzip")), "<a>gzip</a>");
  EXPECT_FALSE(HttpGet(server.Url("/notgzip")));
  EXPECT_EQ(HttpGet(server.Url("/close")), "<a>to close</a>");
  EXPECT_EQ(HttpGet(server.Url("/interim")), "<a/>");
  EXPECT_EQ(HttpGet(server.Url("/empty")), "");
}

TEST(HttpGet, SendsOneGetWithTheHostAndTheEncodedTarget) {
  LoopbackHttpServer server;
  server.Serve("*", LoopbackHttpServer::Ok("x"));
  EXPECT_EQ(HttpGet(server.Url("/字 典.xml?a=1#part")), "x");
  EXPECT_EQ(
      server.Requests(),
      std::vector<std::string>{"GET /%E5%AD%97%20%E5%85%B8.xml?a=1 HTTP/1.1\r\nHost: 127.0.0.1:" +
                               std::to_string(server.port()) + "\r\nConnection: close"});
}

TEST(HttpGet, GoesStraightToTheServerWithThePathAsWritten) {
  LoopbackHttpServer server;
  server.Serve("/a/../b.xml", LoopbackHttpServer::Ok("<b/>"));
  // A proxy named in the environment is not used.
  ::setenv("http_proxy", ("http://127.0.0.1:" +
                          std::to_string(datasource::testing::UnusedLoopbackPort())).c_str(), 1);
  const std::optional<std::string> body = HttpGet(server.Url("/a/../b.xml"));
  ::unsetenv("http_proxy");
  EXPECT_EQ(body, "<b/>");
}

TEST(HttpGet, FailsOnErrorsAndMalformedOrOversizedAnswers) {
  LoopbackHttpServer server;
  server.Serve("/missing", LoopbackHttpServer::Ok("<error/>", "404 Not Found"));
  server.Serve("/broken", LoopbackHttpServer::Ok("<error/>", "500 Internal Server Error"));
  server.Serve("/garbage", {"<html>not http</html>"});
  server.Serve("/nostatus", {"HTTP/1.1 2x0 OK\r\n\r\n"});
  server.Serve("/short", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<a/>"});
  server.Serve("/twolengths",
               {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\n<a/>"});
  server.Serve("/badlength", {"HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\n<a/>"});
  server.Serve("/badchunk", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"});
  server.Serve("/cutchunk", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n<a/>"});
  server.Serve("/big", LoopbackHttpServer::Ok(std::string(2000, 'x')));
  server.Serve("/bigclose", {"HTTP/1.1 200 OK\r\n\r\n" + std::string(2000, 'x')});
  server.Serve("/bigchunk", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "400\r\n" +
                             std::string(1024, 'x') +
                             "\r\n"
                             "400\r\n" +
                             std::string(1024, 'x') + "\r\n0\r\n\r\n"});
  server.Serve("/bighead", {"HTTP/1.1 200 OK\r\nX-Pad: " + std::string(600, 'p') +
                            "\r\nContent-Length: 0\r\n\r\n"});

  HttpGetLimits limits;
  limits.max_body_bytes = 1500;
  limits.max_head_bytes = 512;
  for (const char* target :
       {"/missing", "/broken", "/garbage", "/nostatus", "/short", "/twolengths", "/badlength",
        "/badchunk", "/cutchunk", "/big", "/bigclose", "/bigchunk", "/bighead"}) {
    EXPECT_FALSE(HttpGet(server.Url(target), limits)) << target;
  }
  // Each says why, for the operator's log.
  const std::pair<const char*, const char*> causes[] = {
      {"/missing", "the server answered with status 404"},
      {"/twolengths", "the answer's Content-Length is no number, or two of them differ"},
      {"/big", "the answer is longer than 1500 bytes"},
      {"/bigclose", "the answer is longer than 1500 bytes"},
      {"/bigchunk", "the answer is longer than 1500 bytes"},
      {"/bighead", "the answer's head is longer than 512 bytes"},
  };
  for (const auto& [target, cause] : causes) {
    std::string failure;
    EXPECT_FALSE(HttpGet(server.Url(target), limits, &failure));
    EXPECT_EQ(failure, cause) << target;
  }
  std::string failure;
  EXPECT_FALSE(HttpGet("ftp://127.0.0.1/a.xml", limits, &failure));
  EXPECT_EQ(failure, "the address is no whole http:// URL");
  // Within the limits the same server answers.
  server.Serve("/fits", LoopbackHttpServer::Ok(std::string(1500, 'x')));
  EXPECT_EQ(HttpGet(server.Url("/fits"), limits)->size(), 1500u);
}

TEST(HttpGet, GivesUpOnAServerThatStallsOrIsNotThere) {
  LoopbackHttpServer server;
  server.Serve("/silent", {"", true});
  server.Serve("/halfway", {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n<a>", true});
  HttpGetLimits limits;
  limits.answer_timeout = std::chrono::milliseconds(200);
  std::string failure;
  EXPECT_FALSE(HttpGet(server.Url("/silent"), limits, &failure));
  EXPECT_EQ(failure, "the answer was not complete within 200 ms");
  EXPECT_FALSE(HttpGet(server.Url("/halfway"), limits, &failure));
  EXPECT_EQ(failure, "the answer was not complete within 200 ms");
  EXPECT_FALSE(HttpGet(
      "http://127.0.0.1:" + std::to_string(datasource::testing::UnusedLoopbackPort()) + "/a.xml",
      {}, &failure));
  EXPECT_EQ(failure.rfind("Failed to connect to 127.0.0.1 port", 0), 0u) << failure;
}

TEST(HttpGet, FollowsRedirectsWithinHttpOnly) {
  LoopbackHttpServer server;
  server.Serve("/old", LoopbackHttpServer::Redirect(server.Url("/moved")));
  server.Serve("/moved", LoopbackHttpServer::Redirect("/new?x=1"));
  server.Serve("/new?x=1", LoopbackHttpServer::Ok("<new/>"));
  EXPECT_EQ(HttpGet(server.Url("/old")), "<new/>");
  EXPECT_EQ(server.Requests().size(), 3u);

  server.Serve("/tofile", LoopbackHttpServer::Redirect("file:///etc/hostname"));
  server.Serve("/tohttps", LoopbackHttpServer::Redirect("https://127.0.0.1/new"));
  server.Serve("/toother", LoopbackHttpServer::Redirect("//127.0.0.1/new"));
  server.Serve("/nowhere", {"HTTP/1.1 301 Moved\r\nContent-Length: 0\r\n\r\n"});
  server.Serve("/loop", LoopbackHttpServer::Redirect("/loop"));
  server.Serve("/multiple", {"HTTP/1.1 300 Multiple Choices\r\nLocation: /new?x=1\r\n\r\n"});
  const std::pair<const char*, const char*> refused[] = {
      {"/tofile", "the server redirected to an address that is no http:// URL"},
      {"/tohttps", "the server redirected to an address that is no http:// URL"},
      {"/toother", "the server redirected to an address that is no http:// URL"},
      {"/nowhere", "the server answered with status 301"},
      {"/loop", "the server redirected more than 5 times"},
      {"/multiple", "the server answered with status 300"},
  };
  for (const auto& [target, why] : refused) {
    std::string failure;
    EXPECT_FALSE(HttpGet(server.Url(target), {}, &failure)) << target;
    EXPECT_EQ(failure, why) << target;
  }
  // The loop is given up after the limit: the first request and five redirects.
  const auto requests = server.Requests();
  EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                          [](const std::string& r) { return r.starts_with("GET /loop "); }),
            6);
}

}  // namespace
}  // namespace korvalis
