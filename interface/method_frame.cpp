#include "interface/method_frame.h"

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>

#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "interface/object_context_guard.h"
#include "interface/type_library.h"

namespace korvalis::frame {
namespace {

std::atomic<CallScopeRunner> call_scope_runner{nullptr};

void RunInCallScope(Transaction transaction, CallBody body, void* context) {
  CallScopeRunner runner = call_scope_runner.load(std::memory_order_acquire);
  if (runner == nullptr) throw std::logic_error("no data layer is installed for method calls");
  runner(transaction, body, context);
}

// Sets the thread's error description; a failure to do so (memory) is dropped, since the frame
// must return its result whatever happens.
void SetErrorDescription(const std::u16string& text) noexcept {
  try {
    CEMRRemoteError().SetError(text);
  } catch (...) {
  }
}

void SetUnexpectedErrorDescription(const char* method) noexcept {
  try {
    std::u16string text = u"函数:'";
    for (const char* c = method; *c != '\0'; ++c) {
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(*c)));
    }
    text += u"' 出现异常错误.";
    CEMRRemoteError().SetError(text);
  } catch (...) {
  }
}

struct FrameCall {
  CallBody body;
  void* context;
  CObjectContextGuard* guard;
};

void RunBodyThenVote(void* frame_call, CEMRDataSource* data_source) {
  auto* call = static_cast<FrameCall*>(frame_call);
  call->body(call->context, data_source);
  if (call->guard != nullptr) call->guard->SetComplete();
}

// A voting call keeps the writing transaction that its vote stands for; any other call writes
// in a writing transaction when its method's row in the type library says that it writes.
Transaction TransactionOf(Vote vote, const char* method) {
  if (vote == Vote::kYes) return Transaction::kWriting;
  const korvalis::com::MethodInfo* row = FindWrappedMethod(method);
  return row != nullptr && row->access == korvalis::com::DataAccess::kWrites
             ? Transaction::kWriting
             : Transaction::kReading;
}

}  // namespace

CallScopeRunner SetCallScopeRunner(CallScopeRunner runner) {
  return call_scope_runner.exchange(runner, std::memory_order_acq_rel);
}

HRESULT RunFrame(Vote vote, const char* method, CallBody body, void* context) noexcept {
  std::optional<CObjectContextGuard> guard;
  if (vote == Vote::kYes) guard.emplace(true);
  FrameCall call{body, context, guard ? &*guard : nullptr};
  try {
    RunInCallScope(TransactionOf(vote, method), &RunBodyThenVote, &call);
    return S_OK;
  } catch (const CEMRException& e) {
    if (guard) guard->SetAbort();
    SetErrorDescription(e.GetText());
    return E_FAIL;
  } catch (...) {
    SetUnexpectedErrorDescription(method);
    if (guard) guard->SetAbort();
    return E_FAIL;
  }
}

HRESULT RunVoteOnly() noexcept {
  CObjectContextGuard guard(true);
  guard.SetComplete();
  return S_OK;
}

HRESULT RunAnswering(CallBody body, void* context, BSTR* result) noexcept {
  bool succeeded = false;
  try {
    RunInCallScope(Transaction::kReading, body, context);
    succeeded = true;
  } catch (...) {
  }
  if (result != nullptr) *result = SysAllocString(succeeded ? u"true" : u"false");
  return S_OK;
}

HRESULT StoreEmptyResult(BSTR* result) noexcept {
  if (result == nullptr) return S_OK;
  *result = SysAllocString(u"");
  return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace korvalis::frame
