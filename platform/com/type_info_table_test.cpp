#include "platform/com/type_info_table.h"

#include <gtest/gtest.h>

#include "platform/com/sample_shapes_test.h"

namespace korvalis::com {
namespace {

using testing::CShapes;
using testing::IShapes;
using testing::kAreaParams;
using testing::kIShapesInfo;
using testing::kShapesMethods;

TEST(TypeInfoTable, GuidTextParsesAtCompileTime) {
  constexpr GUID iid = kIShapesInfo.iid;
  static_assert(iid.Data1 == 0x53448940 && iid.Data2 == 0x3066 && iid.Data3 == 0x493E);
  static_assert(iid.Data4[0] == 0x8F && iid.Data4[1] == 0xDC && iid.Data4[7] == 0xA0);
  EXPECT_EQ(GuidToRegistryString(iid), u"{53448940-3066-493E-8FDC-1D79B9FD12A0}");
}

TEST(TypeInfoTable, FindsMethodsByDispidAndNameAcrossGaps) {
  EXPECT_EQ(kIShapesInfo.FindMethod(4)->name, u"Clear");
  EXPECT_EQ(kIShapesInfo.FindMethod(3), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(7), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(0), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(-1), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(u"aREA")->dispid, 1);
  EXPECT_EQ(kIShapesInfo.FindMethod(u"Areas"), nullptr);
  EXPECT_EQ(kIShapesInfo.FindMethod(u""), nullptr);
}

TEST(TypeInfoTable, InvokerCallsThroughTheVtable) {
  ComObject<CShapes>* object = new ComObject<CShapes>();
  object->AddRef();
  IShapes* shapes_interface = object;
  CShapes& shapes = *object;
  BSTR square = AllocBstr(u"square");
  LONG area = 0;
  DispatchArgument args[3];
  args[0].bstr = square;
  args[1].i4 = 7;
  args[2].pi4 = &area;
  EXPECT_EQ(kIShapesInfo.FindMethod(1)->invoker.invoke(shapes_interface, args), S_OK);
  EXPECT_EQ(shapes.last_shape, u"square");
  EXPECT_EQ(shapes.last_side, 7);
  EXPECT_EQ(area, 49);
  SysFreeString(square);

  BSTR suffix = AllocBstr(u"-new");
  BSTR name = AllocBstr(u"old");
  args[0].bstr = suffix;
  args[1].pbstr = &name;
  EXPECT_EQ(kIShapesInfo.FindMethod(2)->invoker.invoke(shapes_interface, args), S_OK);
  EXPECT_EQ(BstrView(name), u"old-new");
  SysFreeString(name);
  SysFreeString(suffix);

  EXPECT_EQ(kIShapesInfo.FindMethod(4)->invoker.invoke(shapes_interface, nullptr), S_OK);
  EXPECT_EQ(shapes.clears, 1);
  object->Release();
}

TEST(TypeInfoTable, CheckAcceptsASoundTable) { EXPECT_EQ(CheckInterfaceInfo(kIShapesInfo), ""); }

TEST(TypeInfoTable, CheckFindsTablesThatDisagreeWithTheirMethods) {
  constexpr ParamInfo kWrongType[] = {Param::In(u"bstrShape", VT_BSTR),
                                      Param::In(u"lngSide", VT_BSTR),
                                      Param::Retval(u"plngArea", VT_I4)};
  constexpr ParamInfo kMissing[] = {Param::In(u"bstrShape", VT_BSTR),
                                    Param::Retval(u"plngArea", VT_I4)};
  constexpr ParamInfo kInNotRef[] = {Param::In(u"bstrWhy", VT_BSTR), Param::In(u"pbstrResult", VT_BSTR)};
  constexpr ParamInfo kRepeated[] = {Param::In(u"a", VT_BSTR), Param::In(u"A", VT_I4),
                                     Param::Retval(u"c", VT_I4)};
  struct Case {
    MethodInfo method;
    const char* expected;
  } cases[] = {
      {{1, u"Area", u"", kWrongType, Invoker<&IShapes::Area>}, "does not match"},
      {{1, u"Area", u"", kMissing, Invoker<&IShapes::Area>}, "the C++ method has 3"},
      {{1, u"Fail", u"", kInNotRef, Invoker<&IShapes::Fail>}, "does not match"},
      {{1, u"Clear", u"", kInNotRef, Invoker<&IShapes::Clear>}, "the C++ method has 0"},
      {{1, u"Area", u"", kRepeated, Invoker<&IShapes::Area>}, "repeated"},
      {{0, u"Clear", u"", {}, Invoker<&IShapes::Clear>}, "positive"},
  };
  for (const Case& c : cases) {
    InterfaceInfo info{GUID_NULL, u"IShapes", u"", std::span<const MethodInfo>(&c.method, 1)};
    EXPECT_NE(CheckInterfaceInfo(info).find(c.expected), std::string::npos)
        << CheckInterfaceInfo(info);
  }

  const MethodInfo unordered[] = {kShapesMethods[1], kShapesMethods[0]};
  EXPECT_NE(CheckInterfaceInfo({GUID_NULL, u"IShapes", u"", unordered}).find("ascend"),
            std::string::npos);
  const MethodInfo twice[] = {kShapesMethods[0], {3, u"AREA", u"", kAreaParams, Invoker<&IShapes::Area>}};
  EXPECT_NE(CheckInterfaceInfo({GUID_NULL, u"IShapes", u"", twice}).find("repeated"),
            std::string::npos);
}

}  // namespace
}  // namespace korvalis::com
