#include "platform/com/type_info_table.h"

#include <gtest/gtest.h>

#include "platform/com/dispatch.h"

namespace korvalis::com {
namespace {

struct IShapes : IDispatch {
  virtual HRESULT Area(BSTR bstrShape, LONG lngSide, LONG* plngArea) = 0;
  virtual HRESULT Rename(BSTR* pbstrName) = 0;
  virtual HRESULT Clear() = 0;
};

// Records what reached the vtable.
struct Shapes : IShapes {
  std::u16string shape;
  LONG side = 0;
  int cleared = 0;
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT Area(BSTR bstrShape, LONG lngSide, LONG* plngArea) override {
    shape = BstrView(bstrShape);
    side = lngSide;
    *plngArea = lngSide * lngSide;
    return S_OK;
  }
  HRESULT Rename(BSTR* pbstrName) override {
    SysReAllocString(pbstrName, u"renamed");
    return S_FALSE;
  }
  HRESULT Clear() override {
    ++cleared;
    return S_OK;
  }
};

constexpr ParamInfo kAreaParams[] = {Param::In(u"bstrShape", VT_BSTR),
                                     Param::In(u"lngSide", VT_I4),
                                     Param::Retval(u"plngArea", VT_I4)};
constexpr ParamInfo kRenameParams[] = {Param::InOut(u"pbstrName", VT_BSTR)};
constexpr MethodInfo kMethods[] = {
    {1, u"Area", u"method Area", kAreaParams, Invoker<&IShapes::Area>},
    {2, u"Rename", u"method Rename", kRenameParams, Invoker<&IShapes::Rename>},
    {4, u"Clear", u"method Clear", {}, Invoker<&IShapes::Clear>},
};
constexpr InterfaceInfo kIShapesInfo{MakeGuid("53448940-3066-493e-8FDC-1D79B9FD12A0"),
                                     u"IShapes", u"IShapes Interface", kMethods};

TEST(TypeInfoTable, GuidTextParsesAtCompileTime) {
  constexpr GUID iid = kIShapesInfo.iid;
  static_assert(iid.Data1 == 0x53448940 && iid.Data2 == 0x3066 && iid.Data3 == 0x493E);
  static_assert(iid.Data4[0] == 0x8F && iid.Data4[1] == 0xDC && iid.Data4[7] == 0xA0);
  EXPECT_EQ(GuidToRegistryString(iid), u"{53448940-3066-493E-8FDC-1D79B9FD12A0}");
}

TEST(TypeInfoTable, FindsMethodsByDispidAndNameAcrossGaps) {
  EXPECT_EQ(kIShapesInfo.FindMethod(4)->name, u"Clear");
  EXPECT_EQ(kIShapesInfo.FindMethod(3), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(0), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(5), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(u"aREA")->dispid, 1);
  EXPECT_EQ(kIShapesInfo.FindMethod(u"Areas"), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(u""), nullptr);
}

TEST(TypeInfoTable, InvokerCallsThroughTheVtable) {
  Shapes shapes;
  BSTR square = AllocBstr(u"square");
  LONG area = 0;
  DispatchArgument args[3];
  args[0].bstr = square;
  args[1].i4 = 7;
  args[2].pi4 = &area;
  EXPECT_EQ(kIShapesInfo.FindMethod(1)->invoker.invoke(&shapes, args), S_OK);
  EXPECT_EQ(shapes.shape, u"square");
  EXPECT_EQ(shapes.side, 7);
  EXPECT_EQ(area, 49);
  SysFreeString(square);

  BSTR name = AllocBstr(u"old");
  args[0].pbstr = &name;
  EXPECT_EQ(kIShapesInfo.FindMethod(2)->invoker.invoke(&shapes, args), S_FALSE);
  EXPECT_EQ(BstrView(name), u"renamed");
  SysFreeString(name);

  EXPECT_EQ(kIShapesInfo.FindMethod(4)->invoker.invoke(&shapes, nullptr), S_OK);
  EXPECT_EQ(shapes.cleared, 1);
}

TEST(TypeInfoTable, CheckAcceptsASoundTable) { EXPECT_EQ(CheckInterfaceInfo(kIShapesInfo), ""); }

TEST(TypeInfoTable, CheckFindsTablesThatDisagreeWithTheirMethods) {
  constexpr ParamInfo kWrongType[] = {Param::In(u"bstrShape", VT_BSTR),
                                      Param::In(u"lngSide", VT_BSTR),
                                      Param::Retval(u"plngArea", VT_I4)};
  constexpr ParamInfo kMissing[] = {Param::In(u"bstrShape", VT_BSTR),
                                    Param::Retval(u"plngArea", VT_I4)};
  constexpr ParamInfo kInNotRef[] = {Param::In(u"pbstrName", VT_BSTR)};
  constexpr ParamInfo kRepeated[] = {Param::In(u"a", VT_BSTR), Param::In(u"A", VT_I4),
                                     Param::Retval(u"c", VT_I4)};
  struct Case {
    MethodInfo method;
    const char* expected;
  } cases[] = {
      {{1, u"Area", u"", kWrongType, Invoker<&IShapes::Area>}, "does not match"},
      {{1, u"Area", u"", kMissing, Invoker<&IShapes::Area>}, "the C++ method has 3"},
      {{1, u"Rename", u"", kInNotRef, Invoker<&IShapes::Rename>}, "does not match"},
      {{1, u"Area", u"", kRepeated, Invoker<&IShapes::Area>}, "repeated"},
      {{0, u"Clear", u"", {}, Invoker<&IShapes::Clear>}, "positive"},
  };
  for (const Case& c : cases) {
    InterfaceInfo info{GUID_NULL, u"IShapes", u"", std::span<const MethodInfo>(&c.method, 1)};
    EXPECT_NE(CheckInterfaceInfo(info).find(c.expected), std::string::npos)
        << CheckInterfaceInfo(info);
  }

  const MethodInfo unordered[] = {kMethods[1], kMethods[0]};
  EXPECT_NE(CheckInterfaceInfo({GUID_NULL, u"IShapes", u"", unordered}).find("ascend"),
            std::string::npos);
  const MethodInfo twice[] = {kMethods[0], {3, u"AREA", u"", kAreaParams, Invoker<&IShapes::Area>}};
  EXPECT_NE(CheckInterfaceInfo({GUID_NULL, u"IShapes", u"", twice}).find("repeated"),
            std::string::npos);
}

}  // namespace
}  // namespace korvalis::com
