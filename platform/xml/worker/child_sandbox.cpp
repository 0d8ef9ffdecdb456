#include "platform/xml/worker/child_sandbox.h"

#include <linux/capability.h>
#include <linux/seccomp.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

namespace korvalis::xml {

int DropCapabilities() {
  for (int capability = 0;; ++capability) {
    const int held = ::prctl(PR_CAPBSET_READ, capability);
    if (held < 0) break;  // past the last capability the kernel knows
    if (held == 1 && ::prctl(PR_CAPBSET_DROP, capability) != 0 && errno != EPERM) return errno;
  }
  if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
    return errno;
  }
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
  return ::syscall(SYS_capset, &header, none) == 0 ? 0 : errno;
}

namespace {

// The calls a transformation makes once its texts may arrive.
constexpr std::initializer_list<int> kAllowed = {
    // Its descriptors: the connection and standard error.
    SCMP_SYS(read), SCMP_SYS(write), SCMP_SYS(readv), SCMP_SYS(writev), SCMP_SYS(recvmsg),
    SCMP_SYS(sendmsg), SCMP_SYS(recvfrom), SCMP_SYS(sendto), SCMP_SYS(poll), SCMP_SYS(ppoll),
    SCMP_SYS(getsockopt), SCMP_SYS(close),
    // Memory (mmap and mprotect below).
    SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise),
    // Its own signals and threads' primitives, which the C library uses alone.
    // restart_syscall resumes a wait that a stop and a continue interrupted.
    SCMP_SYS(rt_sigreturn), SCMP_SYS(restart_syscall), SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(sigaltstack), SCMP_SYS(futex), SCMP_SYS(sched_yield), SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    // Time and randomness.
    SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(time),
    SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep), SCMP_SYS(getrusage), SCMP_SYS(getrandom),
    // Its own limits, read only: the worker sets them from outside.
    SCMP_SYS(getrlimit),
    // Its end.
    SCMP_SYS(exit), SCMP_SYS(exit_group)};

// The calls that look for a file by its name: they fail as if it could not be read.
constexpr std::initializer_list<int> kRefusedByName = {
    SCMP_SYS(open),     SCMP_SYS(openat),     SCMP_SYS(openat2),    SCMP_SYS(creat),
    SCMP_SYS(stat),     SCMP_SYS(lstat),      SCMP_SYS(newfstatat), SCMP_SYS(statx),
    SCMP_SYS(access),   SCMP_SYS(faccessat),  SCMP_SYS(faccessat2), SCMP_SYS(readlink),
    SCMP_SYS(readlinkat)};

// The stand-in for the process id in the rules on signals: no process has it (ids stay below
// 2^22), and no other rule compares with it.
constexpr scmp_datum_t kProcessIdStandIn = 0x7fff'fff0;

// A checked build's address and undefined-behaviour checkers, writing a report from a child,
// ask whether standard error is a terminal (ioctl) and probe memory through a pipe (pipe2); both
// fail there rather than end the child, so that the report is written whole and the fault is
// told as one. Opening and reading links (the binary, /proc/self/maps) fail as for any child, and
// the report's frames are then given as addresses.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::initializer_list<int> kRefusedToTheChecker = {SCMP_SYS(ioctl), SCMP_SYS(pipe2),
                                                             SCMP_SYS(pipe)};
#else
constexpr std::initializer_list<int> kRefusedToTheChecker = {};
#endif

// A filter that kills the process at any call it does not name.
int AddRules(scmp_filter_ctx filter) {
  int error = 0;
  for (const int call : kAllowed) {
    if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
  }
  for (const int call : kRefusedByName) {
    if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0);
  }
  for (const int call : kRefusedToTheChecker) {
    if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0);
  }
  // No memory becomes executable.
  for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)}) {
    if (error == 0) {
      error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1,
                               SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    }
  }
  // Its own name, which tells a spare from a child at work.
  if (error == 0) {
    error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prctl), 1,
                             SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME));
  }
  // Signals to itself only (abort), limits of its own only.
  for (const int call : {SCMP_SYS(kill), SCMP_SYS(tgkill)}) {
    if (error == 0) {
      error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1,
                               SCMP_A0(SCMP_CMP_EQ, kProcessIdStandIn));
    }
  }
  // Its limits are read, never changed: a soft limit could otherwise be raised up to the hard
  // one, which is often unlimited.
  if (error == 0) {
    error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 2,
                             SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A2(SCMP_CMP_EQ, 0));
  }
  if (error == 0) {
    error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(prlimit64), 1,
                             SCMP_A2(SCMP_CMP_NE, 0));
  }
  if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(setrlimit), 0);
  // The kernel's SIGXCPU at the processor limit keeps its default action: it ends the process.
  if (error == 0) {
    error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(rt_sigaction), 1,
                             SCMP_A0(SCMP_CMP_NE, SIGXCPU));
  }
  if (error == 0) {
    error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(rt_sigaction), 1,
                             SCMP_A0(SCMP_CMP_EQ, SIGXCPU));
  }
  return -error;
}

// The filter's program as the kernel takes it, through a file in memory.
int Export(scmp_filter_ctx filter, std::vector<sock_filter>& program) {
  const int file = ::memfd_create("korvalis-filter", MFD_CLOEXEC);
  if (file < 0) return errno;
  int error = -seccomp_export_bpf(filter, file);
  const off_t length = error == 0 ? ::lseek(file, 0, SEEK_CUR) : 0;
  if (error == 0 && (length <= 0 || length % sizeof(sock_filter) != 0)) error = EPROTO;
  if (error == 0) {
    program.resize(static_cast<std::size_t>(length) / sizeof(sock_filter));
    if (::pread(file, program.data(), static_cast<std::size_t>(length), 0) != length) error = EIO;
  }
  ::close(file);
  return error;
}

}  // namespace

std::string ChildSandbox::Prepare() {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
  if (filter == nullptr) {
    // libseccomp asks the kernel which actions it takes; a host's own filter may refuse that.
    std::uint32_t action = SECCOMP_RET_KILL_PROCESS;
    if (::syscall(SYS_seccomp, SECCOMP_GET_ACTION_AVAIL, 0, &action) != 0) {
      return std::string("the system refuses the call seccomp: ") + std::strerror(errno);
    }
    return "the system does not end a process at a forbidden call (seccomp's kill-process)";
  }
  int error = AddRules(filter);
  if (error == 0) error = Export(filter, program_);
  seccomp_release(filter);
  if (error != 0) return std::strerror(error);
  process_ids_.clear();
  for (std::size_t i = 0; i < program_.size(); ++i) {
    const sock_filter& step = program_[i];
    if (step.code == (BPF_JMP | BPF_JEQ | BPF_K) && step.k == kProcessIdStandIn) {
      process_ids_.push_back(i);
    }
  }
  // The rules on signals compare with it (libseccomp may share one comparison between them); a
  // program without it is one this code does not know.
  return process_ids_.empty() ? std::strerror(EPROTO) : std::string();
}

int ChildSandbox::Enter() {
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return errno;
  if (const int error = DropCapabilities(); error != 0) return error;
  // The program is the worker's, shared until written: the child writes its id into its copy.
  const auto self = static_cast<std::uint32_t>(::getpid());
  for (const std::size_t step : process_ids_) program_[step].k = self;
  const sock_fprog filter{static_cast<unsigned short>(program_.size()), program_.data()};
  return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0 ? 0 : errno;
}

}  // namespace korvalis::xml
