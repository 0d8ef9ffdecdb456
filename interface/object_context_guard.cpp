#include "interface/object_context_guard.h"

CObjectContextGuard::CObjectContextGuard(bool abort_on_exit) : abort_on_exit_(abort_on_exit) {
  // Failing to get a context is not an error: the call then runs without one.
  CoGetObjectContext(IID_IObjectContext, reinterpret_cast<void**>(&context_));
}

CObjectContextGuard::~CObjectContextGuard() {
  if (abort_on_exit_ && context_ != nullptr) context_->SetAbort();
  if (context_ != nullptr) context_->Release();
}

void CObjectContextGuard::SetComplete() {
  abort_on_exit_ = false;
  if (context_ != nullptr) context_->SetComplete();
}

HRESULT CObjectContextGuard::SetAbort() {
  abort_on_exit_ = false;
  return context_ != nullptr ? context_->SetAbort() : S_OK;
}
