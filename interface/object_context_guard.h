// CObjectContextGuard: the transaction vote of one method call, created on the wrapper's stack.
//
//        constructor(abort_on_exit)               SetComplete / SetAbort
//   (none) ─────────────────────────▶  ARMED  ──────────────────────────▶  VOTED
//                                        │                                   │
//                 destructor: SetAbort   │                                   │ destructor
//                 on the context, then   ▼                                   ▼
//                 release it          RELEASED  ◀────────────────────────────┘
//
// The constructor asks for the call's object context (CoGetObjectContext); without one every
// operation only changes the flag, so a call outside a transaction behaves exactly as inside.
// A call that leaves while still ARMED votes abort.
//
// Thread-safety: one guard belongs to one call on one thread.
#pragma once

#include "platform/complus/object_context.h"

class CObjectContextGuard {
 public:
  explicit CObjectContextGuard(bool abort_on_exit);
  ~CObjectContextGuard();
  CObjectContextGuard(const CObjectContextGuard&) = delete;
  CObjectContextGuard& operator=(const CObjectContextGuard&) = delete;

  // Votes complete when there is a context; the guard no longer votes on exit.
  void SetComplete();
  // Votes abort when there is a context and returns that vote's result (S_OK without one); the
  // guard no longer votes on exit.
  HRESULT SetAbort();

 private:
  IObjectContext* context_ = nullptr;
  bool abort_on_exit_;
};
