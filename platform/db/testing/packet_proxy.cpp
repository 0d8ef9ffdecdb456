#include "platform/db/testing/packet_proxy.h"

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace korvalis::db::testing {
namespace {

// The value of `item` in the initialisation string `init`.
std::string Item(const std::string& init, const std::string& item) {
  const size_t at = init.find(";" + item + "=");
  if (at == std::string::npos) return "";
  const size_t start = at + item.size() + 2;
  return init.substr(start, init.find(';', start) - start);
}

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

bool WriteAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    const ssize_t written = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (written <= 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

PacketProxy::PacketProxy(const std::string& init)
    : server_socket_(Item(init, "Host") + "/.s.PGSQL." + Item(init, "Port")) {
  char pattern[] = "/tmp/korvalis-proxy-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  directory_ = pattern;
  socket_ = directory_ + "/.s.PGSQL." + Item(init, "Port");
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = SocketAddress(socket_);
  if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0) {
    throw std::runtime_error("the proxy cannot listen on " + socket_);
  }
  init_ = init;
  init_.replace(init_.find(";Host=") + 6, Item(init, "Host").size(), directory_);
  serving_ = std::thread([this] { Serve(); });
}

PacketProxy::~PacketProxy() {
  stop_ = true;
  serving_.join();
  ::close(listener_);
  ::unlink(socket_.c_str());
  ::rmdir(directory_.c_str());
}

void PacketProxy::Arm(const std::string& trigger, Then then) {
  trigger_ = trigger;
  then_ = then;
  armed_ = true;
}

void PacketProxy::Serve() {
  std::vector<std::thread> pumps;
  while (!stop_) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, 20) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    if (holding_) {
      // Accepted and never read, as a stopped main process's queue would keep it.
      pumps.emplace_back([this, client] {
        while (!stop_) ::usleep(20'000);
        ::close(client);
      });
      ++held_connections_;
      continue;
    }
    pumps.emplace_back([this, client] { Pump(client); });
  }
  for (std::thread& pump : pumps) pump.join();
}

void PacketProxy::Pump(int client) {
  const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = SocketAddress(server_socket_);
  bool open = ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  bool met = false;  // the client sent the trigger
  std::string sent;  // what the client sent since the proxy was armed
  char buffer[1 << 16];
  while (open && !stop_) {
    pollfd ready[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (::poll(ready, met && then_ == Then::kHold ? 0 : 2, 20) <= 0) continue;
    if (ready[0].revents != 0) {
      const ssize_t got = ::read(client, buffer, sizeof buffer);
      open = got > 0;
      if (open && armed_) sent.append(buffer, static_cast<size_t>(got));
      if (!met && armed_ && sent.find(trigger_) != std::string::npos) {
        met = true;
        // Holding begins before the trigger is seen as met, so that a connection a test makes
        // once it sees Met() is held.
        if (then_ == Then::kHold) holding_ = true;
        long long none = 0;
        met_at_ns_.compare_exchange_strong(
            none,
            std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1));
      }
      if (met && then_ == Then::kHold) continue;
      open = open && WriteAll(server, buffer, got);
    }
    if (open && ready[1].revents != 0) {
      const ssize_t got = ::read(server, buffer, sizeof buffer);
      open = got > 0 && (met || WriteAll(client, buffer, got));
    }
  }
  ::close(server);
  ::close(client);
}

}  // namespace korvalis::db::testing
