// IUnknown, the root of every interface: identity and lifetime by reference count. Interfaces
// are abstract classes whose virtual functions keep the platform's slot order, so IUnknown has
// exactly these three slots and no virtual destructor; objects delete themselves in Release.
//
// Thread-safety: defined by each implementation; the system's objects count atomically.
#pragma once

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  // Stores the interface `riid` of this object in *ppvObject (adding a reference) and returns
  // S_OK, or stores null and returns E_NOINTERFACE. E_POINTER when ppvObject is null.
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  // Adds a reference; returns the new count (for diagnostics only).
  virtual ULONG AddRef() = 0;
  // Drops a reference, destroying the object at zero; returns the new count.
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
