// A small dual interface and class used by the runtime's tests: its methods record what reached
// them, so tests can tell the vtable call that a late-bound call produced.
//
// Thread-safety: an object records what reached it without a lock: one thread calls it at a time.
#pragma once

#include <string>

#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/error_info.h"
#include "platform/com/support_error_info.h"
#include "platform/com/type_info_table.h"

namespace korvalis::com::testing {

struct IShapes : IDispatch {
  virtual HRESULT Area(BSTR bstrShape, LONG lngSide, LONG* plngArea) = 0;
  virtual HRESULT Rename(BSTR bstrSuffix, BSTR* pbstrName) = 0;
  virtual HRESULT Clear() = 0;
  // Writes "partial" to the result, then fails with `bstrWhy` as the thread's error.
  virtual HRESULT Fail(BSTR bstrWhy, BSTR* pbstrResult) = 0;
  virtual HRESULT Flags(VARIANT_BOOL vbOn, SHORT intSmall, VARIANT_BOOL* pvbResult) = 0;
};

inline constexpr ParamInfo kAreaParams[] = {Param::In(u"bstrShape", VT_BSTR),
                                            Param::In(u"lngSide", VT_I4),
                                            Param::Retval(u"plngArea", VT_I4)};
inline constexpr ParamInfo kRenameParams[] = {Param::In(u"bstrSuffix", VT_BSTR),
                                              Param::InOut(u"pbstrName", VT_BSTR)};
inline constexpr ParamInfo kFailParams[] = {Param::In(u"bstrWhy", VT_BSTR),
                                            Param::Retval(u"pbstrResult", VT_BSTR)};
inline constexpr ParamInfo kFlagsParams[] = {Param::In(u"vbOn", VT_BOOL),
                                             Param::In(u"intSmall", VT_I2),
                                             Param::Retval(u"pvbResult", VT_BOOL)};
inline constexpr MethodInfo kShapesMethods[] = {
    {1, u"Area", u"method Area", kAreaParams, Invoker<&IShapes::Area>},
    {2, u"Rename", u"method Rename", kRenameParams, Invoker<&IShapes::Rename>},
    {4, u"Clear", u"method Clear", {}, Invoker<&IShapes::Clear>},
    {5, u"Fail", u"method Fail", kFailParams, Invoker<&IShapes::Fail>},
    {6, u"Flags", u"method Flags", kFlagsParams, Invoker<&IShapes::Flags>},
};
inline constexpr IID IID_IShapes = MakeGuid("53448940-3066-493e-8FDC-1D79B9FD12A0");
inline constexpr InterfaceInfo kIShapesInfo{IID_IShapes, u"IShapes", u"IShapes Interface", kShapesMethods};

inline int shapes_alive = 0;

class CShapes : public ComObjectRoot,
                public DispatchImpl<IShapes, kIShapesInfo>,
                public SupportErrorInfoImpl<IID_IShapes> {
 public:
  static std::span<const InterfaceMapEntry> InterfaceMap() {
    static constexpr InterfaceMapEntry kMap[] = {
        MapEntry<CShapes, IShapes>(IID_IShapes),
        MapEntry<CShapes, IDispatch>(IID_IDispatch),
        MapEntry<CShapes, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  CShapes() { ++shapes_alive; }
  ~CShapes() { --shapes_alive; }

  HRESULT Area(BSTR bstrShape, LONG lngSide, LONG* plngArea) override {
    last_shape = BstrView(bstrShape);
    last_side = lngSide;
    *plngArea = lngSide * lngSide;
    return S_OK;
  }
  HRESULT Rename(BSTR bstrSuffix, BSTR* pbstrName) override {
    std::u16string name(BstrView(*pbstrName));
    name += BstrView(bstrSuffix);
    SysReAllocString(pbstrName, name.c_str());
    return S_OK;
  }
  HRESULT Clear() override {
    ++clears;
    return S_OK;
  }
  HRESULT Fail(BSTR bstrWhy, BSTR* pbstrResult) override {
    *pbstrResult = AllocBstr(u"partial");
    ICreateErrorInfo* create = nullptr;
    CreateErrorInfo(&create);
    create->SetDescription(std::u16string(BstrView(bstrWhy)).c_str());
    IErrorInfo* error = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error));
    SetErrorInfo(0, error);
    error->Release();
    create->Release();
    return E_FAIL;
  }
  HRESULT Flags(VARIANT_BOOL vbOn, SHORT intSmall, VARIANT_BOOL* pvbResult) override {
    last_flag = vbOn;
    last_small = intSmall;
    *pvbResult = vbOn == VARIANT_TRUE ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
  }

  std::u16string last_shape;
  LONG last_side = 0;
  VARIANT_BOOL last_flag = 0;
  SHORT last_small = 0;
  int clears = 0;
};

}  // namespace korvalis::com::testing
