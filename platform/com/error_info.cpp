#include "platform/com/error_info.h"

#include <pthread.h>

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

void ReleaseAtThreadExit(void* info) { static_cast<IErrorInfo*>(info)->Release(); }

}  // namespace

namespace korvalis::error_info_detail {

// The key of the per-thread error slot, plus one (0 while no key exists). A static data
// member of a class template has vague linkage, which the toolchain gives unique binding:
// every shared object of the process that carries a copy of this code (the product library,
// the sibling stand-ins) uses the same member, so an error set in one is read in another.
struct ErrorSlotTag;
template <typename Tag>
struct ProcessWide {
  static inline std::atomic<unsigned long> thread_key_plus_one{0};
};

}  // namespace korvalis::error_info_detail

namespace {

// The process's thread-specific key for error objects; false when none can be created.
bool ErrorSlotKey(pthread_key_t* key) {
  auto& shared = korvalis::error_info_detail::ProcessWide<
      korvalis::error_info_detail::ErrorSlotTag>::thread_key_plus_one;
  unsigned long current = shared.load(std::memory_order_acquire);
  if (current == 0) {
    pthread_key_t created;
    if (pthread_key_create(&created, ReleaseAtThreadExit) != 0) return false;
    const unsigned long mine = static_cast<unsigned long>(created) + 1;
    if (shared.compare_exchange_strong(current, mine, std::memory_order_acq_rel)) {
      current = mine;
    } else {
      pthread_key_delete(created);
    }
  }
  *key = static_cast<pthread_key_t>(current - 1);
  return true;
}

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) return E_POINTER;
  auto* object = new (std::nothrow) ErrorObject();
  *pperrinfo = object;
  return object == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  pthread_key_t key;
  if (!ErrorSlotKey(&key)) return E_OUTOFMEMORY;
  auto* old = static_cast<IErrorInfo*>(pthread_getspecific(key));
  if (perrinfo != nullptr) perrinfo->AddRef();
  if (pthread_setspecific(key, perrinfo) != 0) {
    if (perrinfo != nullptr) perrinfo->Release();
    return E_OUTOFMEMORY;
  }
  if (old != nullptr) old->Release();
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) return E_POINTER;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  pthread_key_t key;
  if (!ErrorSlotKey(&key)) return S_FALSE;
  *pperrinfo = static_cast<IErrorInfo*>(pthread_getspecific(key));
  if (*pperrinfo == nullptr) return S_FALSE;
  pthread_setspecific(key, nullptr);
  return S_OK;
}
