// A proxy before the test server's socket, for tests that make the network fail by
// construction: it forwards both ways until, once armed, a client sends a given text; from then
// on it drops what the server answers that client (answers lost after the request went out), or
// holds everything that client sends and every connection made after it (a server that stopped
// answering, its main process included). It listens on a socket in a directory of its own;
// init() names the server through it.
//
//   PacketProxy proxy(init);
//   PostgresConnection c(... proxy.init() ...);
//   proxy.Arm("COMMIT", PacketProxy::Then::kDropReplies);
//
// Thread-safety: Arm may be called from any thread; the proxy serves on threads of its own,
// joined by its destructor.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace korvalis::db::testing {

class PacketProxy {
 public:
  enum class Then {
    kDropReplies,  // the server's answers to that client are dropped
    kHold,         // what that client sends and every later connection go nowhere
  };

  // A proxy before the server that the initialisation string `init` names (its Host and Port).
  explicit PacketProxy(const std::string& init);
  ~PacketProxy();
  PacketProxy(const PacketProxy&) = delete;
  PacketProxy& operator=(const PacketProxy&) = delete;

  // `init` with its server reached through the proxy.
  const std::string& init() const { return init_; }
  // From now on, a client that sends `trigger` meets `then`.
  void Arm(const std::string& trigger, Then then);
  // Whether a client sent the trigger, and when it was first seen.
  bool Met() const { return met_at_ns_.load() != 0; }
  std::chrono::steady_clock::time_point MetAt() const {
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(met_at_ns_.load()));
  }
  // How many connections were accepted and held since the proxy began holding.
  int HeldConnections() const { return held_connections_.load(); }

 private:
  void Serve();
  // Forwards between `client` and a new connection to the server until either ends.
  void Pump(int client);

  std::string server_socket_;
  std::string directory_, socket_, init_;
  int listener_ = -1;
  std::string trigger_;  // set before armed_
  Then then_ = Then::kDropReplies;
  std::atomic<bool> armed_{false}, holding_{false}, stop_{false};
  std::atomic<long long> met_at_ns_{0};
  std::atomic<int> held_connections_{0};
  std::thread serving_;
};

}  // namespace korvalis::db::testing
