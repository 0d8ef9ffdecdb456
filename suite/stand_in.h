// The common part of the suite's stand-in components: a counted object whose dual interface
// answers its own methods through the vtable only (late-bound callers get E_NOTIMPL, no type
// information is offered), and the helpers every method uses to hand out texts and report
// failures as the thread's error information.
//
// A stand-in method runs its body through Serve: a CEMRException or any other exception of
// the body becomes E_FAIL with its description set, so no input can escape as an exception
// across the interface.
//
// Thread-safety: stand-ins hold no state of their own; any thread may call them.
#pragma once

#include <exception>
#include <new>
#include <span>
#include <string>

#include "foundation/calls/emr_exception.h"
#include "platform/com/bstr.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch.h"
#include "platform/text/unicode.h"

namespace korvalis::suite {

template <class Interface, const IID& kIid>
class StandIn : public com::ComObjectRoot, public Interface {
 public:
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IUnknown first (it answers with the first entry), then the interface and IDispatch.
  static std::span<const com::InterfaceMapEntry> InterfaceMap() {
    static constexpr com::InterfaceMapEntry kMap[] = {
        com::MapEntry<StandIn, Interface>(IID_IUnknown),
        com::MapEntry<StandIn, Interface>(kIid),
        com::MapEntry<StandIn, IDispatch>(IID_IDispatch),
    };
    return kMap;
  }

 protected:
  StandIn() = default;
  ~StandIn() = default;
};

// Installs `description` as the thread's error information and returns E_FAIL.
HRESULT ReportFailure(const std::u16string& description);

// Stores a new BSTR holding `text` in *out: E_POINTER for a null out, E_OUTOFMEMORY when the
// string cannot be made. Any BSTR *out held before is not freed: out-parameters arrive empty.
HRESULT Answer(BSTR* out, std::u16string_view text);

// Runs `body`, which returns an HRESULT; exceptions become ReportFailure with their text.
template <class Body>
HRESULT Serve(Body&& body) noexcept {
  try {
    return body();
  } catch (const CEMRException& e) {
    return ReportFailure(e.GetText());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return ReportFailure(FromUtf8(e.what()));
  } catch (...) {
    return ReportFailure(u"组件内部错误.");
  }
}

}  // namespace korvalis::suite
