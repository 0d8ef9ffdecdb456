// The error information of a failed call: an object that carries a description (and, unused
// by the system, a GUID, a source, a help file and a help context), held per thread.
//
//   CreateErrorInfo  makes a new, empty error object;
//   SetErrorInfo     installs an object as the calling thread's error (replacing any other;
//                    null clears it);
//   GetErrorInfo     hands the thread's error object to the caller and clears the thread's
//                    slot (S_FALSE and null when there is none).
//
// Thread-safety: each thread sees only its own error object; the error objects themselves
// count references atomically and may be passed between threads. The slot is one per process
// even when several loaded libraries carry this code, provided its symbols keep default
// visibility (and executables export theirs, as the build does).
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

inline constexpr IID IID_IErrorInfo = {
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ICreateErrorInfo = {
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

// Reading side. Every text getter returns a new BSTR that the caller frees (null for an
// unset text); E_POINTER for a null out-pointer.
struct IErrorInfo : IUnknown {
  virtual HRESULT GetGUID(GUID* pGUID) = 0;
  virtual HRESULT GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* pdwHelpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

// Writing side. Texts are copied; a null text clears the field.
struct ICreateErrorInfo : IUnknown {
  virtual HRESULT SetGUID(REFGUID rguid) = 0;
  virtual HRESULT SetSource(LPCOLESTR szSource) = 0;
  virtual HRESULT SetDescription(LPCOLESTR szDescription) = 0;
  virtual HRESULT SetHelpFile(LPCOLESTR szHelpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD dwHelpContext) = 0;

 protected:
  ~ICreateErrorInfo() = default;
};

// Creates an empty error object; *pperrinfo holds one reference. E_POINTER for null,
// E_OUTOFMEMORY when it cannot be made.
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Installs `perrinfo` (adding a reference; null clears) as the calling thread's error object,
// releasing the one it replaces. `dwReserved` must be 0 (E_INVALIDARG otherwise).
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Moves the calling thread's error object to *pperrinfo (the caller releases it) and clears
// the thread's slot: S_OK with an object, S_FALSE with null when there is none.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
