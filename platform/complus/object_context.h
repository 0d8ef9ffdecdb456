// The object context of a call, in place of the transaction service's context: a host (or a
// test) installs one for its thread while it runs calls; CoGetObjectContext hands it to the
// component, which votes on the call's outcome with SetComplete or SetAbort. Without an
// installed context CoGetObjectContext fails and the component's vote does nothing.
//
// Also the construction interfaces through which a host passes a configured construction string
// to a new object (IObjectConstruct, IObjectConstructString).
//
// Thread-safety: each thread sees only the context installed on it.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/unknown.h"

inline constexpr IID IID_IObjectContext = {
    0x51372AE0, 0xCAE7, 0x11CF, {0xBE, 0x81, 0x00, 0xAA, 0x00, 0xA2, 0xFA, 0x25}};
inline constexpr IID IID_IObjectConstruct = {
    0x41C4F8B3, 0x7439, 0x11D2, {0x98, 0xCB, 0x00, 0xC0, 0x4F, 0x8E, 0xE1, 0xC4}};
inline constexpr IID IID_IObjectConstructString = {
    0x41C4F8B2, 0x7439, 0x11D2, {0x98, 0xCB, 0x00, 0xC0, 0x4F, 0x8E, 0xE1, 0xC4}};

// The calling thread runs outside any object context.
inline constexpr HRESULT CONTEXT_E_NOCONTEXT = korvalis::detail::MakeHresult(0x8004E004u);

// The votes of one call. The system votes with these two only.
struct IObjectContext : IUnknown {
  // The object's work is done and may be committed.
  virtual HRESULT SetComplete() = 0;
  // The object's work must not be committed.
  virtual HRESULT SetAbort() = 0;

 protected:
  ~IObjectContext() = default;
};

struct IObjectConstructString : IDispatch {
  virtual HRESULT get_ConstructString(BSTR* pVal) = 0;

 protected:
  ~IObjectConstructString() = default;
};

struct IObjectConstruct : IUnknown {
  // Called once after creation with an object that offers IObjectConstructString.
  virtual HRESULT Construct(IDispatch* pCtorObj) = 0;

 protected:
  ~IObjectConstruct() = default;
};

// Stores the calling thread's object context, asked for `riid`, in *ppv. CONTEXT_E_NOCONTEXT
// (and null) when none is installed; E_POINTER for a null ppv.
HRESULT CoGetObjectContext(REFIID riid, void** ppv);

namespace korvalis::complus {

// Installs `context` as the calling thread's object context for the life of the scope (holding
// a reference), then puts back whatever was installed before. `context` may be null, which runs
// the scope outside any context.
class ScopedObjectContext {
 public:
  explicit ScopedObjectContext(IObjectContext* context);
  ~ScopedObjectContext();
  ScopedObjectContext(const ScopedObjectContext&) = delete;
  ScopedObjectContext& operator=(const ScopedObjectContext&) = delete;

 private:
  IObjectContext* previous_;
};

}  // namespace korvalis::complus
