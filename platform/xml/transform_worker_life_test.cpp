// The transformation worker through a host's life, with real processes: a host that forks and
// holds copies of its descriptors, a host killed, a forked child of the host, a worker stopped,
// killed or replaced by an upgrade, a worker program that cannot start, and children that crash
// or are killed. Each answer says what happened, and nothing outlives the call it served.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/sys/testing/sanitizer.h"
#include "platform/xml/child_end.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"
#include "platform/xml/transform_worker.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::ChildrenOf;
using testing::RunawayStyle;
using testing::WorkingChildrenOf;
using testing::Gone;
using testing::Within;
using testing::Worker;

using testing::kRoomy;
using testing::kSum;
// A style sheet that runs until it is stopped.
const std::string kStorm = testing::RunawayStyle(0);

struct Answer {
  TransformOutcome outcome;
  std::string output;
  std::string cause;
};

Answer Transform(const std::string& stylesheet, const TransformLimits& limits = kRoomy) {
  Answer answer{};
  answer.outcome = TransformText("<r><v>40</v><v>2</v></r>", TextWriter::kSystem, stylesheet,
                                 TextWriter::kCaller, limits, answer.output, &answer.cause);
  return answer;
}

// A host thread that forks children which keep copies of every descriptor for `hold`.
class ForkingThread {
 public:
  explicit ForkingThread(milliseconds hold) {
    thread_ = std::thread([this, hold] {
      while (!stop_) {
        const pid_t child = ::fork();
        if (child == 0) {
          ::usleep(static_cast<useconds_t>(hold.count() * 1000));
          ::_exit(0);
        }
        if (child > 0) forked_.push_back(child);
        std::this_thread::sleep_for(20ms);
      }
    });
  }
  ~ForkingThread() {
    stop_ = true;
    thread_.join();
    for (pid_t child : forked_) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<pid_t> forked_;
  std::thread thread_;
};

// Waits for the children of earlier transformations to have gone.
bool Settled() {
  return Within(4s, [] { return WorkingChildrenOf(Worker()).empty(); });
}

// The worker's children once some run: waits up to five seconds for `count` of them.
std::vector<pid_t> RunningChildren(std::size_t count) {
  std::vector<pid_t> children;
  Within(5s, [&] {
    children = WorkingChildrenOf(Worker());
    std::erase_if(children, Gone);
    return children.size() >= count;
  });
  return children;
}

TEST(TransformWorkerLifeTest, CallsThatGiveUpEndTheirWorkWhateverCopiesAForkedHostHolds) {
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  ForkingThread forking(30s);
  std::vector<std::thread> callers;
  std::atomic<int> deadlines{0};
  for (int t = 0; t < 2; ++t) {
    // Each by a style sheet of its own, so that both work at once even where there are two turns.
    callers.emplace_back([&, style = RunawayStyle(t)] {
      if (Transform(style, {1 << 20, 64 << 20, 1s}).outcome == TransformOutcome::kDeadlinePassed) {
        ++deadlines;
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(deadlines, 2);
  EXPECT_TRUE(Within(3s, [] { return WorkingChildrenOf(Worker()).empty(); }))
      << "a transformation outlived its call";
}

// The kilobytes of a process's private writable memory, all of it charged to the commit limit
// again at each fork.
long DataKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string field; status >> field;) {
    long kilobytes = 0;
    if (field == "VmData:" && status >> kilobytes) return kilobytes;
  }
  return -1;
}

TEST(TransformWorkerLifeTest, TheWorkersForksCarryNoLargeStack) {
  if (sys::testing::kSanitizerHoldsMemory) {
    GTEST_SKIP() << "the sanitizer maps memory of its own into the worker";
  }
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  const long kilobytes = DataKilobytes(Worker());
  ASSERT_GT(kilobytes, 0);
  // The children's deep stack grows on the worker's main stack as it is used.
  EXPECT_LT(kilobytes, 64 * 1024) << "the worker maps " << kilobytes << " kB";
}

TEST(TransformWorkerLifeTest, AKilledHostTakesItsWorkerAndItsChildrenAlong) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t host = ::fork();
  if (host == 0) {
    ::close(ready[0]);
    ForkingThread forking(5s);
    std::thread runaway([] { Transform(kStorm, {1 << 20, 64 << 20, 60s}); });
    Within(5s, [] { return !WorkingChildrenOf(Worker()).empty(); });
    const pid_t worker = Worker();
    [[maybe_unused]] const ssize_t written = ::write(ready[1], &worker, sizeof worker);
    runaway.join();
    ::_exit(0);
  }
  ::close(ready[1]);
  pid_t worker = 0;
  ASSERT_EQ(::read(ready[0], &worker, sizeof worker), static_cast<ssize_t>(sizeof worker));
  ::close(ready[0]);
  ASSERT_NE(worker, 0);
  const std::vector<pid_t> children = ChildrenOf(worker);
  ASSERT_FALSE(children.empty());
  ::kill(host, SIGKILL);
  ::waitpid(host, nullptr, 0);
  EXPECT_TRUE(Within(4s, [&] { return Gone(worker); })) << "the worker outlived its host";
  for (pid_t child : children) EXPECT_TRUE(Within(4s, [&] { return Gone(child); }));
}

TEST(TransformWorkerLifeTest, AForkedChildOfTheHostTransformsWithAWorkerOfItsOwn) {
  ASSERT_TRUE(Settled());
  std::thread runaway([] { Transform(kStorm, {1 << 20, 64 << 20, 2s}); });
  ASSERT_FALSE(RunningChildren(1).empty());
  const pid_t parents_worker = Worker();
  const pid_t child = ::fork();
  if (child == 0) {
    const Answer answer = Transform(kSum);
    ::_exit(answer.outcome == TransformOutcome::kDone && answer.output == "42" && Worker() != 0 &&
                    Worker() != parents_worker
                ? 0
                : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  runaway.join();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(TransformWorkerLifeTest, AStoppedWorkerIsReplacedAndTheStartMadeOnTheNext) {
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  const pid_t stopped = Worker();
  ASSERT_EQ(::kill(stopped, SIGSTOP), 0);
  const auto start = std::chrono::steady_clock::now();
  const Answer answer = Transform(kSum);
  EXPECT_EQ(answer.outcome, TransformOutcome::kDone) << answer.cause;
  EXPECT_EQ(answer.output, "42");
  EXPECT_LT(std::chrono::steady_clock::now() - start, kWorkerAnswerTime + 2s);
  EXPECT_TRUE(Within(4s, [&] { return Gone(stopped); }));
  EXPECT_NE(Worker(), stopped);
}

// A worker stopped while a transformation of another thread works is replaced for the next
// start; the transformation already running still finishes on its child, and the worker replaced
// is killed once it is over.
TEST(TransformWorkerLifeTest, ATransformationRunningOnAReplacedWorkerFinishes) {
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  ASSERT_TRUE(Settled());
  // A source larger than the caller holds goes to its child as it is written: the child works.
  Transformation running(kSum, TextWriter::kCaller, TextWriter::kSystem, kRoomy);
  running.AppendSource("<r><v>40</v><!--" + std::string(kHeldSourceBytes + 1, 'x') + "-->");
  ASSERT_FALSE(RunningChildren(1).empty());
  const pid_t stopped = Worker();
  ASSERT_EQ(::kill(stopped, SIGSTOP), 0);
  const Answer other = Transform(kSum);
  EXPECT_EQ(other.outcome, TransformOutcome::kDone) << other.cause;
  std::string output, cause;
  EXPECT_EQ(running.Finish("<v>2</v></r>", output, &cause), TransformOutcome::kDone) << cause;
  EXPECT_EQ(output, "42");
  EXPECT_TRUE(Within(4s, [&] { return Gone(stopped); })) << "the replaced worker stays";
}

// A transformation's texts go right behind its start; a worker that never took the start, whether
// it ended or stayed silent (also once the texts filled the connection), is replaced and the
// start made again from the kept texts.
TEST(TransformWorkerLifeTest, AStartSentAheadThatTheWorkerNeverTookIsMadeAgain) {
  // Valid after the style sheet's element: more than the connection holds at once.
  const std::string padded = kSum + "<!--" + std::string(2 << 20, 'x') + "-->";
  for (const bool ends : {true, false}) {
    ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
    const pid_t stopped = Worker();
    ASSERT_EQ(::kill(stopped, SIGSTOP), 0);
    const auto start = std::chrono::steady_clock::now();
    Answer answer{};
    std::thread caller([&] { answer = Transform(ends ? kSum : padded); });
    if (ends) {
      std::this_thread::sleep_for(300ms);
      ::kill(stopped, SIGKILL);
    }
    caller.join();
    EXPECT_EQ(answer.outcome, TransformOutcome::kDone) << ends << " " << answer.cause;
    EXPECT_EQ(answer.output, "42");
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              ends ? kWorkerAnswerTime : kWorkerAnswerTime + 2s);
    EXPECT_TRUE(Within(4s, [&] { return Gone(stopped); }));
  }
}

TEST(TransformWorkerLifeTest, AWorkerKilledMidFlightIsToldAsSuch) {
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  ASSERT_TRUE(Settled());
  Answer answer{};
  std::thread runaway([&] { answer = Transform(kStorm); });
  ASSERT_FALSE(RunningChildren(1).empty());
  ::kill(Worker(), SIGKILL);
  runaway.join();
  EXPECT_EQ(answer.outcome, TransformOutcome::kWorkerEnded);
  EXPECT_NE(answer.cause.find("signal 9"), std::string::npos) << answer.cause;
  EXPECT_EQ(Transform(kSum).outcome, TransformOutcome::kDone) << "a new worker serves";
}

TEST(TransformWorkerLifeTest, AChildKilledFromOutsideOrCrashingIsToldAsSuch) {
  std::vector<std::pair<int, TransformOutcome>> ends = {{SIGKILL, TransformOutcome::kKilled},
                                                         {SIGTERM, TransformOutcome::kKilled}};
  // Under the sanitizer a crash ends the host, so that it fails the run.
  if (!kCrashEndsTheHost) ends.push_back({SIGSEGV, TransformOutcome::kCrashed});
  for (const auto& [signal, expected] : ends) {
    ASSERT_TRUE(Settled());
    Answer answer{};
    std::thread runaway([&] { answer = Transform(kStorm); });
    const std::vector<pid_t> children = RunningChildren(1);
    ASSERT_FALSE(children.empty());
    ::kill(children.front(), signal);
    runaway.join();
    EXPECT_EQ(answer.outcome, expected) << answer.cause;
    EXPECT_NE(answer.cause.find("signal " + std::to_string(signal)), std::string::npos)
        << answer.cause;
    // Only the kernel's out-of-memory killer ends a process for want of memory, never so.
    if (signal == SIGTERM) {
      EXPECT_EQ(answer.cause.find("memory"), std::string::npos) << answer.cause;
    }
  }
}

// Confines the calling process as a host's own profile does: the call `refused` fails with
// `error`, and so it does for every program the process runs.
bool RefuseCall(long refused, int error) {
  sock_filter program[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(refused), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & 0xffff)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
  const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

// A host whose filter refuses pidfd_open (as an old kernel does) transforms, its worker watching
// it by its parent's id; one that refuses seccomp is told that its children cannot be confined
// for that call.
TEST(TransformWorkerLifeTest, AHostWhoseFilterRefusesACallIsServedOrToldWhichCall) {
  ASSERT_TRUE(Settled());
  const struct {
    long call;
    int error;
    TransformOutcome outcome;
    const char* cause;
  } hosts[] = {{SYS_pidfd_open, ENOSYS, TransformOutcome::kDone, ""},
               {SYS_pidfd_open, EPERM, TransformOutcome::kDone, ""},
               {SYS_seccomp, EPERM, TransformOutcome::kUnavailable, "refuses the call seccomp"}};
  for (const auto& host : hosts) {
    int told[2];
    ASSERT_EQ(::pipe(told), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      if (!RefuseCall(host.call, host.error)) ::_exit(2);
      const Answer answer = Transform(kSum);
      // A child of the host keeps copies of its descriptors, the worker's connection among them.
      const pid_t processes[2] = {Worker(), ::fork()};
      if (processes[1] == 0) {
        ::sleep(5);
        ::_exit(0);
      }
      [[maybe_unused]] const ssize_t written = ::write(told[1], processes, sizeof processes);
      if (answer.outcome == host.outcome && answer.cause.find(host.cause) != std::string::npos &&
          (host.outcome != TransformOutcome::kDone || answer.output == "42")) {
        ::_exit(0);
      }
      std::fprintf(stderr, "%d: %s\n", static_cast<int>(answer.outcome), answer.cause.c_str());
      ::_exit(1);
    }
    ::close(told[1]);
    pid_t processes[2] = {0, 0};
    EXPECT_EQ(::read(told[0], processes, sizeof processes), static_cast<ssize_t>(sizeof processes));
    ::close(told[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << host.call << " " << status;
    // The worker of a host that ended goes too, whether it watched the host's process or its own
    // parent's id.
    const pid_t worker = processes[0];
    EXPECT_TRUE(worker == 0 || Within(5s, [&] { return Gone(worker); })) << host.call;
    if (processes[1] > 0) ::kill(processes[1], SIGKILL);
  }
}

// Sets the worker program, and waits for the worker it lets go to end.
void ChangeWorkerProgram(const std::string& program) {
  const pid_t let_go = Worker();
  SetWorkerProgram(program);
  EXPECT_TRUE(Within(4s, [&] { return let_go == 0 || Gone(let_go); }));
}

// A child that ends while its connection is full of pages the host has not read yet: the
// worker's word of its end waits for room and comes after the last page.
TEST(TransformWorkerLifeTest, TheEndOfAChildIsToldAfterThePagesTheHostHadNotRead) {
  ASSERT_TRUE(Settled());
  std::string cause;
  sys::MessageSocket host_end = testing::HandedToWorker(
      {8 << 20, 64 << 20, 20, TextWriter::kCaller, TextWriter::kCaller, 8}, &cause);
  ASSERT_TRUE(host_end.IsOpen()) << cause;
  auto send = [&](TransformMessage kind, std::string_view text) {
    ASSERT_TRUE(host_end.SendPieces(static_cast<std::uint32_t>(kind), text));
  };
  send(TransformMessage::kStylesheet,
       "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
       "<xsl:output method=\"text\"/><xsl:template match=\"/\"><xsl:value-of select=\"r\"/>"
       "</xsl:template></xsl:stylesheet>");
  send(TransformMessage::kSource, "<r>" + std::string(4 << 20, 'x') + "</r>");
  ASSERT_TRUE(host_end.Send(static_cast<std::uint32_t>(TransformMessage::kRun), 0, {}));
  const std::vector<pid_t> children = RunningChildren(1);
  ASSERT_EQ(children.size(), 1u);
  // Its first page stands unread; the rest fill the connection.
  pollfd readable{host_end.descriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&readable, 1, 20'000), 1);
  std::this_thread::sleep_for(500ms);
  ::kill(children.front(), SIGKILL);
  sys::Message message;
  std::size_t pages = 0;
  while (host_end.Receive(message, std::chrono::steady_clock::now() + 5s) ==
             sys::MessageSocket::Received::kMessage &&
         message.kind != static_cast<std::uint32_t>(TransformMessage::kEnd)) {
    if (message.kind == static_cast<std::uint32_t>(TransformMessage::kPage)) ++pages;
  }
  EXPECT_GT(pages, 0u);
  ASSERT_EQ(message.kind, static_cast<std::uint32_t>(TransformMessage::kEnd));
  EXPECT_EQ(OutcomeFromWire(message.status), TransformOutcome::kKilled) << message.payload;
}

// Runs `body` with the worker program `program`, then the installed one again.
template <class Body>
void WithWorkerProgram(const std::string& program, Body body) {
  ChangeWorkerProgram(program);
  body();
  ChangeWorkerProgram("");
}

// Writes a script that stands for the worker: its second line carries the mark of the messages'
// version `version` (this library's by default).
void WriteProgram(const std::string& path, const std::string& text, bool executable = true,
                  std::uint32_t version = kTransformProtocolVersion) {
  const std::size_t line = text.find('\n') + 1;
  std::ofstream(path) << text.substr(0, line) << "# " << kWorkerVersionMark << version << ";\n"
                      << text.substr(line);
  ::chmod(path.c_str(), executable ? 0755 : 0644);
}

TEST(TransformWorkerLifeTest, AWorkerThatCannotStartIsNamedWithItsEndAndWhatItWrote) {
  korvalis::testing::TempDirectory directory("korvalis-worker");
  const std::string starts = directory.path() + "/starts";
  const std::string dying = directory.path() + "/dying";
  WriteProgram(dying, "#!/bin/sh\necho started >> " + starts +
                          "\necho 'cannot open shared object file: libgone.so' >&2\nexit 127\n");
  WithWorkerProgram(dying, [&] {
    for (int call = 0; call < 3; ++call) {
      const Answer answer = Transform(kSum);
      EXPECT_EQ(answer.outcome, TransformOutcome::kUnavailable);
      EXPECT_NE(answer.cause.find(dying + " exited with code 127"), std::string::npos)
          << answer.cause;
      EXPECT_NE(answer.cause.find("libgone.so"), std::string::npos) << answer.cause;
    }
    std::ifstream started(starts);
    std::string line;
    int count = 0;
    while (std::getline(started, line)) ++count;
    EXPECT_EQ(count, 1) << "no new worker for each call of a storm";
  });

  const std::string plain = directory.path() + "/plain";
  WriteProgram(plain, "#!/bin/sh\nexit 0\n", false);
  WithWorkerProgram(plain, [&] {
    const Answer answer = Transform(kSum);
    EXPECT_EQ(answer.outcome, TransformOutcome::kUnavailable);
    EXPECT_NE(answer.cause.find(plain + " cannot be run"), std::string::npos) << answer.cause;
  });

  // A worker of another version announces another number.
  const std::string other = directory.path() + "/other";
  WriteProgram(
      other,
      "#!/usr/bin/env python3\nimport socket, struct, time\n"
      "s = socket.socket(fileno=0)\ns.send(struct.pack('<III', 1, 0, 1))\ntime.sleep(5)\n");
  WithWorkerProgram(other, [&] {
    const Answer answer = Transform(kSum);
    EXPECT_EQ(answer.outcome, TransformOutcome::kUnavailable);
    EXPECT_NE(answer.cause.find("another version"), std::string::npos) << answer.cause;
  });
}

// A worker program of another build beside the library is named at once, with its version and
// where it was found, and never run; a file that does not tell its version is refused as well,
// told for what it is.
TEST(TransformWorkerLifeTest, AWorkerOfAnotherVersionIsNamedAtOnce) {
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  const std::string installed =
      std::filesystem::read_symlink("/proc/" + std::to_string(Worker()) + "/exe").string();
  korvalis::testing::TempDirectory directory("korvalis-worker");
  const std::string other = directory.path() + "/" + kTransformWorkerName;
  {
    // This build's program, its mark made another version's.
    std::ifstream in(installed, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::array mark = WorkerVersionMark();
    const std::string ours(mark.data());
    const std::size_t at = bytes.find(ours);
    ASSERT_NE(at, std::string::npos) << "the program carries no mark of its version";
    const std::string older = std::string(kWorkerVersionMark) + "3;";
    ASSERT_EQ(older.size(), ours.size());
    bytes.replace(at, ours.size(), older);
    std::ofstream(other, std::ios::binary) << bytes;
    ::chmod(other.c_str(), 0755);
  }
  const std::string unmarked = directory.path() + "/unmarked";
  WriteProgram(unmarked, "#!/bin/sh\nexec sleep 10\n");
  std::filesystem::resize_file(unmarked, 12);  // "#!/bin/sh\nexe": no mark left
  std::ofstream(unmarked, std::ios::app) << "c sleep 10\n";
  // A file that tells no version is no worker at all: what it is is told.
  for (const auto& [program, told] :
       {std::pair{other, " is of another version of the system (its messages' version 3, this "
                         "library's " + std::to_string(kTransformProtocolVersion)},
        std::pair{unmarked, std::string(" is no transformation worker of this system: the file "
                                        "is a script for /bin/sh, which does not tell")},
        std::pair{std::string("/bin/true"),
                  std::string(" is no transformation worker of this system: the file is a "
                              "program (ELF) of ")}}) {
    WithWorkerProgram(program, [&] {
      const auto start = std::chrono::steady_clock::now();
      const Answer answer = Transform(kSum);
      EXPECT_LT(std::chrono::steady_clock::now() - start, kWorkerAnswerTime);
      EXPECT_EQ(answer.outcome, TransformOutcome::kUnavailable);
      EXPECT_NE(answer.cause.find(program + told), std::string::npos) << answer.cause;
      EXPECT_EQ(Worker(), 0) << "the program ran";
    });
  }
}

// Whatever stands in the worker's place, no call waits on it: a FIFO (with or without a process
// that holds it open), a directory or a socket is named for what it is, each call of every
// thread answered within its time limit, and the program is never run.
TEST(TransformWorkerLifeTest, NoFileInTheWorkersPlaceHoldsACallAndEachIsNamed) {
  korvalis::testing::TempDirectory directory("korvalis-worker");
  const std::string fifo = directory.path() + "/fifo", held = directory.path() + "/held";
  const std::string socket_path = directory.path() + "/socket";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);  // as mkfifo makes it: not executable
  ASSERT_EQ(::mkfifo(held.c_str(), 0755), 0);
  const int holder = ::open(held.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
  ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::chmod(socket_path.c_str(), 0755);
  for (const auto& [program, found] :
       {std::pair{fifo, std::string("a FIFO (named pipe)")},
        std::pair{held, std::string("a FIFO (named pipe)")},
        std::pair{directory.path(), std::string("a directory")},
        std::pair{socket_path, std::string("a socket")}}) {
    WithWorkerProgram(program, [&] {
      std::vector<Answer> answers(4);
      std::vector<std::thread> threads;
      const auto start = std::chrono::steady_clock::now();
      for (Answer& answer : answers) {
        threads.emplace_back([&answer] { answer = Transform(kSum, testing::LimitsWithin(2s)); });
      }
      for (std::thread& thread : threads) thread.join();
      EXPECT_LT(std::chrono::steady_clock::now() - start, 2s + 2s) << program;
      for (const Answer& answer : answers) {
        EXPECT_EQ(answer.outcome, TransformOutcome::kUnavailable) << program;
        EXPECT_NE(answer.cause.find(program + " is no transformation worker of this system: " +
                                    found + " stands in its place"),
                  std::string::npos)
            << answer.cause;
      }
      EXPECT_EQ(Worker(), 0) << "the program ran";
    });
  }
  ::close(holder);
  ::close(listening);
}

TEST(TransformWorkerLifeTest, AWorkerStartedAgainAfterAnUpgradeOrInAForkedHostIsTheHostsOwn) {
  ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
  const std::string installed =
      std::filesystem::read_symlink("/proc/" + std::to_string(Worker()) + "/exe").string();
  korvalis::testing::TempDirectory directory("korvalis-worker");
  const std::string program = directory.path() + "/" + kTransformWorkerName;
  std::filesystem::copy_file(installed, program);
  WithWorkerProgram(program, [&] {
    ASSERT_EQ(Transform(kSum).outcome, TransformOutcome::kDone);
    // The package replaces the program, and the worker ends.
    const std::string replacement = directory.path() + "/replacement";
    WriteProgram(replacement, "#!/bin/sh\nexit 1\n");
    std::filesystem::rename(replacement, program);
    const pid_t old = Worker();
    ::kill(old, SIGKILL);
    ASSERT_TRUE(Within(4s, [&] { return Gone(old); }));
    const Answer answer = Transform(kSum);
    EXPECT_EQ(answer.outcome, TransformOutcome::kDone) << answer.cause;
    EXPECT_EQ(answer.output, "42");
    // A process forked from the host runs the program its host chose and holds.
    const pid_t child = ::fork();
    if (child == 0) {
      const Answer forked = Transform(kSum);
      const std::string runs =
          std::filesystem::read_symlink("/proc/" + std::to_string(Worker()) + "/exe").string();
      if (forked.outcome == TransformOutcome::kDone && runs.starts_with(program)) ::_exit(0);
      std::fprintf(stderr, "%s; the worker runs %s\n", forked.cause.c_str(), runs.c_str());
      ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  });
}

}  // namespace
}  // namespace korvalis::xml
