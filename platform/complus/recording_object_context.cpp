#include "platform/complus/recording_object_context.h"

namespace korvalis::complus {

HRESULT RecordingObjectContext::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IObjectContext) {
    *ppv = static_cast<IObjectContext*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// The creator owns the object (usually on its stack), so the count never deletes it.
ULONG RecordingObjectContext::AddRef() { return references_.fetch_add(1) + 1; }
ULONG RecordingObjectContext::Release() { return references_.fetch_sub(1) - 1; }

HRESULT RecordingObjectContext::SetComplete() {
  votes_ += 'C';
  return S_OK;
}

HRESULT RecordingObjectContext::SetAbort() {
  votes_ += 'A';
  return S_OK;
}

}  // namespace korvalis::complus
