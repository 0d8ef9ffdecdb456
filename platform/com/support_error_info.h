// ISupportErrorInfo: tells a caller whether the object's interface sets the thread's error
// information on failure, in the platform's slot order (IUnknown's three, then
// InterfaceSupportsErrorInfo).
//
// Thread-safety: stateless.
#pragma once

#include "platform/com/unknown.h"

inline constexpr IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

struct ISupportErrorInfo : IUnknown {
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

namespace korvalis::com {

// For a class whose interface map offers ISupportErrorInfo: S_OK for the class's own interface
// `kIid`, S_FALSE for any other.
template <const IID& kIid>
class SupportErrorInfoImpl : public ISupportErrorInfo {
 public:
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override { return riid == kIid ? S_OK : S_FALSE; }

 protected:
  ~SupportErrorInfoImpl() = default;
};

}  // namespace korvalis::com
