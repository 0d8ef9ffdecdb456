#include "foundation/codec/iss_helper.h"

#include <cstdlib>
#include <cstring>

#include "platform/com/guid.h"

CISSHelper::~CISSHelper() { Clear(); }

HRESULT CISSHelper::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ISequentialStream) {
    *ppvObject = static_cast<ISequentialStream*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG CISSHelper::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CISSHelper::Release() { return static_cast<ULONG>(--references_); }

HRESULT CISSHelper::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead != nullptr) *pcbRead = 0;
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  if (cb == 0) return S_OK;
  const ULONG available = length_ - read_position_;
  if (available == 0) return S_FALSE;
  const ULONG count = cb < available ? cb : available;
  std::memcpy(pv, buffer_ + read_position_, count);
  read_position_ += count;
  if (pcbRead != nullptr) *pcbRead = count;
  return count == cb ? S_OK : S_FALSE;
}

HRESULT CISSHelper::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (cb == 0) return S_OK;
  const unsigned long long grown = static_cast<unsigned long long>(length_) + cb;
  void* buffer =
      grown > 0xFFFFFFFFull ? nullptr : std::realloc(buffer_, static_cast<std::size_t>(grown));
  if (buffer == nullptr) {
    Clear();
    return E_OUTOFMEMORY;
  }
  buffer_ = static_cast<unsigned char*>(buffer);
  length_ = static_cast<ULONG>(grown);
  std::memcpy(buffer_ + write_position_, pv, cb);
  write_position_ += cb;
  if (pcbWritten != nullptr) *pcbWritten = cb;
  return S_OK;
}

void CISSHelper::Clear() {
  std::free(buffer_);
  buffer_ = nullptr;
  length_ = 0;
  references_ = 0;
  read_position_ = 0;
  write_position_ = 0;
}
