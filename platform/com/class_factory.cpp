#include "platform/com/class_factory.h"

#include <new>

#include "platform/com/module_lock.h"

namespace korvalis::com {

ClassFactory* ClassFactory::Create(InstanceCreator create_instance) {
  return new (std::nothrow) ClassFactory(create_instance);
}

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *ppvObject = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

// The owner's reference does not lock the module; each client reference beyond it does.
ULONG ClassFactory::AddRef() {
  ULONG count = references_.fetch_add(1) + 1;
  if (count == 2) LockModule();
  return count;
}

ULONG ClassFactory::Release() {
  ULONG count = references_.fetch_sub(1) - 1;
  if (count == 1) UnlockModule();
  if (count == 0) delete this;
  return count;
}

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
  return create_instance_(pUnkOuter, riid, ppvObject);
}

HRESULT ClassFactory::LockServer(BOOL fLock) {
  if (fLock) {
    LockModule();
  } else {
    UnlockModule();
  }
  return S_OK;
}

}  // namespace korvalis::com
