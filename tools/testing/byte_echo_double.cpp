// The component library of the ByteEcho double: the class and the exports through which the
// runtime creates it and `korvalis call` reads its type library.
#include "tools/testing/byte_echo_double.h"

#include <string>

#include "platform/com/class_factory.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/object_creation.h"
#include "platform/text/hex.h"
#include "platform/text/unicode.h"

namespace korvalis::tools::testing {
namespace {

class CByteEcho : public com::ComObjectRoot, public com::DispatchImpl<IByteEcho, kIByteEchoInfo> {
 public:
  static std::span<const com::InterfaceMapEntry> InterfaceMap() {
    static constexpr com::InterfaceMapEntry kMap[] = {
        com::MapEntry<CByteEcho, IByteEcho>(kIByteEchoInfo.iid),
        com::MapEntry<CByteEcho, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT Echo(BSTR bstrBytes, BSTR* pbstrBytes) override {
    *pbstrBytes = SysAllocStringByteLen(reinterpret_cast<const char*>(bstrBytes),
                                        SysStringByteLen(bstrBytes));
    return *pbstrBytes != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT Describe(BSTR bstrBytes, BSTR* pbstrDescription) override {
    const auto* bytes = reinterpret_cast<const unsigned char*>(bstrBytes);
    const UINT length = SysStringByteLen(bstrBytes);
    std::u16string text = FromUtf8(std::to_string(length)) + u":";
    for (UINT i = 0; i < length; ++i) AppendHexByte(text, bytes[i], HexLetters::kSmall);
    *pbstrDescription = AllocBstr(text);
    return *pbstrDescription != nullptr ? S_OK : E_OUTOFMEMORY;
  }
};

}  // namespace
}  // namespace korvalis::tools::testing

extern "C" {

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  using namespace korvalis::tools::testing;
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_ByteEcho) return CLASS_E_CLASSNOTAVAILABLE;
  korvalis::com::ClassFactory* factory = korvalis::com::ClassFactory::Create(
      &korvalis::com::CreateComInstance<CByteEcho, korvalis::com::Aggregation::kRefused>);
  if (factory == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

HRESULT DllGetTypeLibrary(const korvalis::com::TypeLibraryInfo** library) {
  if (library == nullptr) return E_POINTER;
  *library = &korvalis::tools::testing::kByteEchoLibrary;
  return S_OK;
}

}  // extern "C"
