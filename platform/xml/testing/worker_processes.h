// Test helpers: the processes of a host's transformation worker, read from /proc, and a
// transformation's connection handed to the worker as the host hands it.
//
// Thread-safety: each call reads /proc afresh.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sys/message_socket.h"
#include "platform/xml/transform_worker.h"

namespace korvalis::xml::testing {

// A new transformation's connection handed to the process's worker with a start of `order`, the
// texts left to the caller: the host's end, or a closed socket with *cause when the worker
// cannot be reached.
inline sys::MessageSocket HandedToWorker(const TransformOrder& order, std::string* cause) {
  sys::MessageSocket host_end, worker_end;
  if (const int error = sys::MessageSocket::MakePair(host_end, worker_end); error != 0) {
    *cause = std::strerror(error);
    return {};
  }
  WorkerTicket ticket;
  TransformOutcome outcome{};
  if (!HandToWorker(worker_end, order, std::nullopt, &ticket, &outcome, cause)) return {};
  return host_end;
}

// The children of every thread of `pid`.
inline std::vector<pid_t> ChildrenOf(pid_t pid) {
  std::vector<pid_t> children;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream listed(task.path() / "children");
    for (pid_t child = 0; listed >> child;) children.push_back(child);
  }
  return children;
}

// The children of the worker `worker` at work on a transformation: confined, and no longer
// named as the spares that wait for one ("korvalis-spare"); a spare just forked, not yet
// confined, is left out too.
inline std::vector<pid_t> WorkingChildrenOf(pid_t worker) {
  std::vector<pid_t> working;
  for (pid_t child : ChildrenOf(worker)) {
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    bool spare = false, confined = false;
    for (std::string line; std::getline(status, line);) {
      if (line == "Name:\tkorvalis-spare") spare = true;
      if (line == "Seccomp:\t2") confined = true;
    }
    if (confined && !spare) working.push_back(child);
  }
  return working;
}

// Whether `pid` is gone (or only a zombie waiting for its parent).
inline bool Gone(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(status, line)) return true;
  const std::size_t state = line.rfind(')');
  return state == std::string::npos || state + 2 >= line.size() || line[state + 2] == 'Z';
}

// The worker of `host`: its child that runs the worker's program and has not ended (a worker it
// let go may still be ending); 0 when there is none.
inline pid_t WorkerOf(pid_t host) {
  for (pid_t child : ChildrenOf(host)) {
    std::ifstream name("/proc/" + std::to_string(child) + "/comm");
    std::string comm;
    if (std::getline(name, comm) && comm.rfind("korvalis-transf", 0) == 0 && !Gone(child)) {
      return child;
    }
  }
  return 0;
}

// This process's worker.
inline pid_t Worker() { return WorkerOf(::getpid()); }

// Waits up to `limit` for `done`; answers whether it came true.
template <class Condition>
bool Within(std::chrono::milliseconds limit, Condition done) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The kilobytes that the line of /proc file `path` beginning with `field` gives ("VmHWM:" of
// /proc/self/status, "Pss:" of a process's smaps_rollup); 0 when there is none.
inline std::size_t ProcKilobytes(const std::string& path, std::string_view field) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(field, 0) == 0) return std::strtoull(line.c_str() + field.size(), nullptr, 10);
  }
  return 0;
}

}  // namespace korvalis::xml::testing
