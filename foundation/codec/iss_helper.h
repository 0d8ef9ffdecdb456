// CISSHelper: a sequential byte stream held in memory, the stream through which a BLOB's bytes
// are handed to the database when they are written. Writes append at the write position
// (growing the buffer), reads consume from the read position. The object lives on its
// creator's stack: reference counting is kept for the interface's sake and never frees it.
//
// Thread-safety: a stream belongs to one write on one thread.
#pragma once

#include <string_view>

#include "platform/com/stream.h"

class CISSHelper : public ISequentialStream {
 public:
  CISSHelper() = default;
  virtual ~CISSHelper();
  CISSHelper(const CISSHelper&) = delete;
  CISSHelper& operator=(const CISSHelper&) = delete;

  // IUnknown and ISequentialStream answer the object itself; anything else E_NOINTERFACE.
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // STG_E_INVALIDPOINTER for a null destination; S_FALSE when fewer bytes than asked remain.
  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  // STG_E_INVALIDPOINTER for a null source; E_OUTOFMEMORY (and the stream cleared) when the
  // buffer cannot grow or would pass 4 GiB.
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  // Frees the buffer and sets every field, the reference count included, to 0.
  virtual void Clear();

  // The bytes written so far.
  std::string_view Bytes() const {
    return std::string_view(reinterpret_cast<const char*>(buffer_), length_);
  }

 private:
  unsigned char* buffer_ = nullptr;
  ULONG length_ = 0;
  LONG references_ = 0;
  ULONG read_position_ = 0;
  ULONG write_position_ = 0;
};
