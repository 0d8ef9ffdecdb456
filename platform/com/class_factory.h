// IClassFactory, the class object through which a class's instances are created, in the
// platform's slot order (IUnknown's three, CreateInstance, LockServer), and the generic class
// object that serves every class of an object map.
//
// Thread-safety: ClassFactory may be called from any thread; its count is atomic.
#pragma once

#include <atomic>

#include "platform/com/unknown.h"

using BOOL = INT;

inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IClassFactory : IUnknown {
  // Creates an instance, inside `pUnkOuter` when that is not null (aggregation), and stores its
  // interface `riid` in *ppvObject.
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  // TRUE keeps the server loaded until the matching FALSE.
  virtual HRESULT LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

namespace korvalis::com {

// Creates one class's instance: null result pointer -> E_POINTER; otherwise the result is
// nulled first. See CreateComInstance in platform/com/com_object.h.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// The class object of one class. It is owned by whoever created it (one reference); while a
// client holds a further reference the server stays locked, so a library is not unloaded under
// a class object in use.
class ClassFactory final : public IClassFactory {
 public:
  // Returns a class object with one reference, or nullptr when memory runs out.
  static ClassFactory* Create(InstanceCreator create_instance);

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
  HRESULT LockServer(BOOL fLock) override;

 private:
  explicit ClassFactory(InstanceCreator create_instance) : create_instance_(create_instance) {}
  ~ClassFactory() = default;

  InstanceCreator create_instance_;
  std::atomic<ULONG> references_{1};
};

}  // namespace korvalis::com
