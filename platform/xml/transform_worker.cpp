#include "platform/xml/transform_worker.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/sys/installed_file.h"
#include "platform/sys/process_starter.h"
#include "platform/sys/spawn.h"
#include "platform/xml/transform_protocol.h"

namespace korvalis::xml {
namespace {

// The worker of this process: its control connection, open while it runs.
struct Worker {
  std::mutex mutex;
  sys::MessageSocket control;
};

Worker& TheWorker() {
  static Worker* worker = new Worker;  // never destroyed: no exit-time race with a caller
  return *worker;
}

// The worker's program: the first candidate that can be run.
bool FindProgram(std::string& path, std::string* cause) {
  const std::vector<std::string> candidates = sys::InstalledFileCandidates(kTransformWorkerName);
  for (const std::string& candidate : candidates) {
    if (::access(candidate.c_str(), X_OK) == 0) {
      path = candidate;
      return true;
    }
  }
  std::string places;
  for (const std::string& candidate : candidates) places += (places.empty() ? "" : ", ") + candidate;
  *cause = std::string("the transformation worker ") + kTransformWorkerName +
           " cannot be found (looked for " + places + ")";
  return false;
}

bool StartWorker(Worker& worker, std::string* cause) {
  std::string program;
  if (!FindProgram(program, cause)) return false;
  sys::MessageSocket host_end, worker_end;
  int error = sys::MessageSocket::MakePair(host_end, worker_end);
  pid_t pid = 0;
  if (error == 0) {
    error = sys::SpawnProcess({program},
                              {.standard_input = worker_end.descriptor(), .new_session = true},
                              &pid);
  }
  if (error != 0) {
    *cause = "the transformation worker " + program + " cannot be started: " + std::strerror(error);
    return false;
  }
  sys::ReapWhenEnded(pid);
  worker.control = std::move(host_end);
  return true;
}

}  // namespace

bool HandToWorker(sys::MessageSocket& worker_end, const sys::MessageSocket::Deadline& deadline,
                  std::string* cause) {
  Worker& worker = TheWorker();
  std::lock_guard lock(worker.mutex);
  // A worker that has ended is found out by the hand-over; one more is started then.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!worker.control.IsOpen() && !StartWorker(worker, cause)) {
      worker_end.Close();
      return false;
    }
    if (worker.control.Send(static_cast<std::uint32_t>(TransformMessage::kStart), 0, {}, deadline,
                            worker_end.descriptor())) {
      worker_end.Close();
      return true;
    }
    const int error = errno;
    *cause = std::string("the transformation worker cannot be reached: ") + std::strerror(error);
    if (error == ETIMEDOUT) break;
    worker.control.Close();
  }
  worker_end.Close();
  return false;
}

}  // namespace korvalis::xml
