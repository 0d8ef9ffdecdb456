// A test double for the tests of `korvalis call`: a class in a component library of its own,
// which a test registers in its registry like any component. Its methods take and answer
// BSTRs as bytes, so that a test sees exactly what reached a method through Invoke and what
// the command made of an answer.
//
// Thread-safety: the class holds no state; any thread may call it.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

namespace korvalis::tools::testing {

struct IByteEcho : IDispatch {
  // Answers the bytes it was given, exactly.
  virtual HRESULT Echo(BSTR bstrBytes, BSTR* pbstrBytes) = 0;
  // Answers the byte length and the bytes in lower-case hex as a text: "3:00d841".
  virtual HRESULT Describe(BSTR bstrBytes, BSTR* pbstrDescription) = 0;

 protected:
  ~IByteEcho() = default;
};

inline constexpr com::ParamInfo kEchoParams[] = {com::Param::In(u"bstrBytes", VT_BSTR),
                                                 com::Param::Retval(u"pbstrBytes", VT_BSTR)};
inline constexpr com::ParamInfo kDescribeParams[] = {
    com::Param::In(u"bstrBytes", VT_BSTR), com::Param::Retval(u"pbstrDescription", VT_BSTR)};
inline constexpr com::MethodInfo kByteEchoMethods[] = {
    {1, u"Echo", u"method Echo", kEchoParams, com::Invoker<&IByteEcho::Echo>},
    {2, u"Describe", u"method Describe", kDescribeParams, com::Invoker<&IByteEcho::Describe>},
};
inline constexpr com::InterfaceInfo kIByteEchoInfo{
    com::MakeGuid("5C0E6A71-2B8D-4F3E-9A14-7D2C81B0E653"), u"IByteEcho", u"IByteEcho Interface",
    kByteEchoMethods};

inline constexpr CLSID CLSID_ByteEcho = com::MakeGuid("0B7F3C52-91A4-4E6D-8C25-3F19D7A4B860");
inline constexpr com::CoClassInfo kByteEchoClasses[] = {
    {u"ByteEcho", CLSID_ByteEcho, u"ByteEcho Class", &kIByteEchoInfo}};
inline constexpr com::TypeLibraryInfo kByteEchoLibrary{
    com::MakeGuid("A3D5E2F0-6C17-4B89-B2E4-5F0C9A8D7316"),
    u"ByteEchoLib",
    1,
    0,
    u"ByteEcho 1.0 Type Library",
    kByteEchoClasses};

}  // namespace korvalis::tools::testing
