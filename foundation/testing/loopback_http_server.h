// Test helper: an HTTP server on the loopback interface that answers scripted bytes. It serves
// one connection at a time: it reads the request's head, records its request line, writes the
// answer scripted for the request's target (the one for "*" when the target has none, else a
// 404) and closes the connection, or, for an answer that hangs, keeps it open without a word
// until the client gives up.
//
//   LoopbackHttpServer server;
//   server.Serve("/a.xml", LoopbackHttpServer::Ok("<root/>"));
//   std::optional<std::string> body = korvalis::HttpGet(server.Url("/a.xml"));
//
// Thread-safety: the server thread and the test share the script and the record under a lock.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/testing/loopback_socket.h"

namespace korvalis::testing {

class LoopbackHttpServer {
 public:
  struct Answer {
    std::string bytes;  // written as they are
    bool hang = false;  // keep the connection open after the bytes, until the client closes it
  };

  // A complete answer with `status` and `body`, its length in Content-Length.
  static Answer Ok(const std::string& body, const std::string& status = "200 OK") {
    return {"HTTP/1.1 " + status + "\r\nContent-Type: text/xml\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body};
  }
  // A redirect to `location`.
  static Answer Redirect(const std::string& location) {
    return {"HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n"};
  }

  LoopbackHttpServer() {
    socket_ = BindLoopbackSocket(port_);
    ::listen(socket_, 8);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackHttpServer() {
    stopping_ = true;
    thread_.join();
    ::close(socket_);
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `target`.
  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
  }

  void Serve(const std::string& target, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[target] = std::move(answer);
  }
  // The request heads received, in order, each up to its empty line.
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  // Waits until `fd` can be read or the server stops; false when it stops.
  bool WaitReadable(int fd) const {
    pollfd poll_fd{fd, POLLIN, 0};
    while (!stopping_) {
      if (::poll(&poll_fd, 1, 20) > 0) return true;
    }
    return false;
  }

  void Run() {
    while (WaitReadable(socket_)) {
      const int connection = ::accept(socket_, nullptr, nullptr);
      if (connection < 0) continue;
      std::string head;
      char buffer[4096];
      while (head.find("\r\n\r\n") == std::string::npos && WaitReadable(connection)) {
        const ssize_t n = ::read(connection, buffer, sizeof(buffer));
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
      }
      Answer answer = AnswerFor(head);
      ::send(connection, answer.bytes.data(), answer.bytes.size(), MSG_NOSIGNAL);
      // A hanging answer waits for the client to close its end.
      while (answer.hang && WaitReadable(connection) && ::read(connection, buffer, 1) > 0) {
      }
      ::close(connection);
    }
  }

  Answer AnswerFor(const std::string& head) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
    const std::size_t start = head.find(' ') + 1;
    const std::string target = head.substr(start, head.find(' ', start) - start);
    auto found = answers_.find(target);
    if (found == answers_.end()) found = answers_.find("*");
    return found != answers_.end() ? found->second : Ok("", "404 Not Found");
  }

  int socket_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace korvalis::testing
