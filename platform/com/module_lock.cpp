#include "platform/com/module_lock.h"

#include <atomic>

namespace korvalis::com {
namespace {
std::atomic<int32_t> lock_count{0};
}  // namespace

int32_t LockModule() { return lock_count.fetch_add(1) + 1; }
int32_t UnlockModule() { return lock_count.fetch_sub(1) - 1; }
int32_t ModuleLockCount() { return lock_count.load(); }

}  // namespace korvalis::com
