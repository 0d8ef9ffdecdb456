#include "platform/xml/worker/child_sandbox.h"

#include <linux/capability.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace korvalis::xml {
namespace {

// Empties every capability set. The bounding set needs CAP_SETPCAP to shrink, so it is emptied
// first, while the process may still have it; a process without it has nothing to drop there.
int DropCapabilities() {
  for (int capability = 0; ::prctl(PR_CAPBSET_READ, capability) >= 0; ++capability) {
    if (::prctl(PR_CAPBSET_DROP, capability) != 0 && errno != EPERM) return errno;
  }
  if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
    return errno;
  }
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
  return ::syscall(SYS_capset, &header, none) == 0 ? 0 : errno;
}

// The calls a transformation makes once its texts may arrive.
constexpr std::initializer_list<int> kAllowed = {
    // Its descriptors: the connection and standard error.
    SCMP_SYS(read), SCMP_SYS(write), SCMP_SYS(readv), SCMP_SYS(writev), SCMP_SYS(recvmsg),
    SCMP_SYS(sendmsg), SCMP_SYS(recvfrom), SCMP_SYS(sendto), SCMP_SYS(poll), SCMP_SYS(ppoll),
    SCMP_SYS(getsockopt),
    SCMP_SYS(close),
    // Memory (mmap and mprotect below).
    SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise),
    // Its own signals and threads' primitives, which the C library uses alone.
    SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigaction),
    SCMP_SYS(sigaltstack), SCMP_SYS(futex), SCMP_SYS(sched_yield), SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    // Time and randomness.
    SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(time),
    SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep), SCMP_SYS(getrusage), SCMP_SYS(getrandom),
    // Its own limits (lowered as the order says; without capabilities none can be raised).
    SCMP_SYS(getrlimit), SCMP_SYS(setrlimit),
    // Its end.
    SCMP_SYS(exit), SCMP_SYS(exit_group)};

// The calls that look for a file by its name: they fail as if it could not be read.
constexpr std::initializer_list<int> kRefusedByName = {
    SCMP_SYS(open),     SCMP_SYS(openat),     SCMP_SYS(openat2),    SCMP_SYS(creat),
    SCMP_SYS(stat),     SCMP_SYS(lstat),      SCMP_SYS(newfstatat), SCMP_SYS(statx),
    SCMP_SYS(access),   SCMP_SYS(faccessat),  SCMP_SYS(faccessat2), SCMP_SYS(readlink),
    SCMP_SYS(readlinkat)};

// A filter that kills the process at any call it does not name. Its own process id is built in:
// signals go to itself only (abort), limits are its own only.
int AddRules(scmp_filter_ctx filter) {
  const auto self = static_cast<scmp_datum_t>(::getpid());
  int error = 0;
  for (const int call : kAllowed) {
    if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
  }
  for (const int call : kRefusedByName) {
    if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0);
  }
  // No memory becomes executable.
  for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)}) {
    if (error == 0) {
      error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1,
                               SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    }
  }
  if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(kill), 1, SCMP_A0(SCMP_CMP_EQ, self));
  if (error == 0) error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, SCMP_A0(SCMP_CMP_EQ, self));
  for (const scmp_datum_t process : {scmp_datum_t{0}, self}) {
    if (error == 0) {
      error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1,
                               SCMP_A0(SCMP_CMP_EQ, process));
    }
  }
  return -error;
}

int InstallFilter() {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
  if (filter == nullptr) return ENOMEM;
  // Loading the filter sets no-new-privileges first, as the kernel requires of a process
  // without CAP_SYS_ADMIN.
  int error = -seccomp_attr_set(filter, SCMP_FLTATR_CTL_NNP, 1);
  if (error == 0) error = AddRules(filter);
  if (error == 0) error = -seccomp_load(filter);
  seccomp_release(filter);
  return error;
}

}  // namespace

int EnterChildSandbox() {
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return errno;
  if (const int error = DropCapabilities(); error != 0) return error;
  return InstallFilter();
}

}  // namespace korvalis::xml
