// Test helper: a TCP socket bound to a port of the loopback interface that the system chose,
// for the servers that tests start and for ports on which nothing listens.
//
// Thread-safety: stateless.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace korvalis::testing {

// A new TCP socket bound to 127.0.0.1 at a free port, which is stored in `port`; the caller
// listens on it or closes it.
inline int BindLoopbackSocket(int& port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  socklen_t length = sizeof(address);
  ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return socket;
}

}  // namespace korvalis::testing
