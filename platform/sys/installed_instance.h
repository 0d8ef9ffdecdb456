// InstalledInstance: a process-wide object behind an interface that a host or a test may
// replace, the way the database clock is installed: the installed object, or else the machine's
// own, made on first use.
//
//   constinit InstalledInstance<ProcessTable, ProcFsProcessTable> installed_table;
//   installed_table.Install(fake);       // from now on, in every thread
//   installed_table.Current();           // the fake
//   installed_table.Install(nullptr);    // the machine's again
//
// It has no destructor to run at exit, when other threads of the host may still call Current():
// the installed object's slot is made on first use and lives as long as the process.
//
// Thread-safety: Install and Current may be called from any thread at once.
#pragma once

#include <atomic>
#include <memory>

namespace korvalis::sys {

template <class Interface, class Machine>
class InstalledInstance {
 public:
  // `object` from now on; nullptr restores the machine's.
  void Install(std::shared_ptr<Interface> object) { std::atomic_store(&Slot(), std::move(object)); }

  std::shared_ptr<Interface> Current() {
    if (std::shared_ptr<Interface> object = std::atomic_load(&Slot())) return object;
    static const std::shared_ptr<Interface>& machine =
        *new std::shared_ptr<Interface>(std::make_shared<Machine>());
    return machine;
  }

 private:
  std::shared_ptr<Interface>& Slot() {
    std::shared_ptr<Interface>* slot = slot_.load(std::memory_order_acquire);
    if (slot != nullptr) return *slot;
    auto* made = new std::shared_ptr<Interface>();
    if (slot_.compare_exchange_strong(slot, made, std::memory_order_acq_rel)) return *made;
    delete made;  // another thread's came first
    return *slot;
  }

  std::atomic<std::shared_ptr<Interface>*> slot_{nullptr};
};

}  // namespace korvalis::sys
