// The process's transformation worker, seen from the host: the program korvalis-transformer,
// found beside the library (platform/sys/installed_file.h) and started with posix_spawn when the
// process first transforms, so that no transformation forks the host, whatever its size and its
// threads. It is started again when it has ended. The host closes nothing but its own end of the
// connection, and kills nothing: a worker whose control connection closes ends itself and its
// children; a thread waits for its end so that no zombie stays behind.
//
// Thread-safety: thread-safe; the lock is held only to hand a connection over, or to start the
// worker.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/sys/message_socket.h"

namespace korvalis::xml {

// Hands the worker's end of a transformation's connection to the worker, which forks a child
// for it; the host keeps its own end. False, with *cause naming the program and the reason,
// when the worker cannot be found, started or reached before `deadline`. `worker_end` is closed
// here either way.
bool HandToWorker(sys::MessageSocket& worker_end, const sys::MessageSocket::Deadline& deadline,
                  std::string* cause);

}  // namespace korvalis::xml
