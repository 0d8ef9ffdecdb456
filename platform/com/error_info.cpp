#include "platform/com/error_info.h"

#include <atomic>
#include <new>
#include <string>

namespace {

class ErrorObject final : public IErrorInfo, public ICreateErrorInfo {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else if (riid == IID_ICreateErrorInfo) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetGUID(GUID* pGUID) override {
    if (pGUID == nullptr) return E_POINTER;
    *pGUID = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* out) override { return CopyOut(source_, out); }
  HRESULT GetDescription(BSTR* out) override { return CopyOut(description_, out); }
  HRESULT GetHelpFile(BSTR* out) override { return CopyOut(help_file_, out); }
  HRESULT GetHelpContext(DWORD* out) override {
    if (out == nullptr) return E_POINTER;
    *out = help_context_;
    return S_OK;
  }

  HRESULT SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  HRESULT SetSource(LPCOLESTR text) override { return CopyIn(text, &source_); }
  HRESULT SetDescription(LPCOLESTR text) override { return CopyIn(text, &description_); }
  HRESULT SetHelpFile(LPCOLESTR text) override { return CopyIn(text, &help_file_); }
  HRESULT SetHelpContext(DWORD context) override {
    help_context_ = context;
    return S_OK;
  }

 private:
  // An unset text and an empty one differ only in that the former reads back as null.
  struct Text {
    bool set = false;
    std::u16string value;
  };

  static HRESULT CopyOut(const Text& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!text.set) return S_OK;
    *out = korvalis::AllocBstr(text.value);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  static HRESULT CopyIn(LPCOLESTR text, Text* field) {
    field->set = text != nullptr;
    field->value = text != nullptr ? std::u16string(text) : std::u16string();
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  GUID guid_ = GUID_NULL;
  Text source_;
  Text description_;
  Text help_file_;
  DWORD help_context_ = 0;
};

// The calling thread's error object; released when the thread ends.
class ThreadSlot {
 public:
  ~ThreadSlot() {
    if (info_ != nullptr) info_->Release();
  }
  void Replace(IErrorInfo* info) {
    IErrorInfo* old = info_;
    info_ = info;
    if (old != nullptr) old->Release();
  }
  IErrorInfo* Take() {
    IErrorInfo* info = info_;
    info_ = nullptr;
    return info;
  }

 private:
  IErrorInfo* info_ = nullptr;
};

thread_local ThreadSlot t_error_slot;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) return E_POINTER;
  auto* object = new (std::nothrow) ErrorObject();
  *pperrinfo = object;
  return object == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo != nullptr) perrinfo->AddRef();
  t_error_slot.Replace(perrinfo);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) return E_POINTER;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  *pperrinfo = t_error_slot.Take();
  return *pperrinfo == nullptr ? S_FALSE : S_OK;
}
