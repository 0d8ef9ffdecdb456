// HRESULT, the 32-bit result code of every platform call, and the codes the system uses, with
// the platform's numeric values (clients and the event log's raw data see these numbers).
//
// Thread-safety: constants only.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

namespace korvalis::detail {
constexpr HRESULT MakeHresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
}  // namespace korvalis::detail

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = korvalis::detail::MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = korvalis::detail::MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = korvalis::detail::MakeHresult(0x80004003u);
inline constexpr HRESULT E_ABORT = korvalis::detail::MakeHresult(0x80004004u);
inline constexpr HRESULT E_FAIL = korvalis::detail::MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = korvalis::detail::MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = korvalis::detail::MakeHresult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = korvalis::detail::MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = korvalis::detail::MakeHresult(0x80070057u);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = korvalis::detail::MakeHresult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = korvalis::detail::MakeHresult(0x80040111u);
inline constexpr HRESULT REGDB_E_READREGDB = korvalis::detail::MakeHresult(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = korvalis::detail::MakeHresult(0x80040151u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = korvalis::detail::MakeHresult(0x80040154u);
inline constexpr HRESULT SELFREG_E_TYPELIB = korvalis::detail::MakeHresult(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = korvalis::detail::MakeHresult(0x80040201u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = korvalis::detail::MakeHresult(0x800401F0u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = korvalis::detail::MakeHresult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = korvalis::detail::MakeHresult(0x800401F9u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = korvalis::detail::MakeHresult(0x80030009u);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = korvalis::detail::MakeHresult(0x8002802Bu);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = korvalis::detail::MakeHresult(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = korvalis::detail::MakeHresult(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = korvalis::detail::MakeHresult(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = korvalis::detail::MakeHresult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = korvalis::detail::MakeHresult(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = korvalis::detail::MakeHresult(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = korvalis::detail::MakeHresult(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = korvalis::detail::MakeHresult(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = korvalis::detail::MakeHresult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = korvalis::detail::MakeHresult(0x8002000Bu);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = korvalis::detail::MakeHresult(0x8002000Cu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = korvalis::detail::MakeHresult(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = korvalis::detail::MakeHresult(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = korvalis::detail::MakeHresult(0x8002000Fu);
inline constexpr HRESULT DISP_E_BADCALLEE = korvalis::detail::MakeHresult(0x80020010u);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = korvalis::detail::MakeHresult(0x80020011u);
inline constexpr HRESULT DISP_E_DIVBYZERO = korvalis::detail::MakeHresult(0x80020012u);
