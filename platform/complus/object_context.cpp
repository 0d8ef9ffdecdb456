#include "platform/complus/object_context.h"

namespace {
thread_local IObjectContext* thread_context = nullptr;
}  // namespace

HRESULT CoGetObjectContext(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (thread_context == nullptr) return CONTEXT_E_NOCONTEXT;
  return thread_context->QueryInterface(riid, ppv);
}

namespace korvalis::complus {

ScopedObjectContext::ScopedObjectContext(IObjectContext* context) : previous_(thread_context) {
  if (context != nullptr) context->AddRef();
  thread_context = context;
}

ScopedObjectContext::~ScopedObjectContext() {
  IObjectContext* installed = thread_context;
  thread_context = previous_;
  if (installed != nullptr) installed->Release();
}

}  // namespace korvalis::complus
