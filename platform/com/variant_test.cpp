#include "platform/com/variant.h"

#include <gtest/gtest.h>

namespace {

// Counts references; never deleted by Release so the test can read the count.
class CountedObject final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  ULONG refs = 1;
};

TEST(Variant, CopyOfStringIsDeepAndKeepsOddBytes) {
  VARIANT src;
  VariantInit(&src);
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringByteLen("abc", 3);
  VARIANT dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_EQ(dst.vt, VT_BSTR);
  EXPECT_NE(dst.bstrVal, src.bstrVal);
  EXPECT_EQ(SysStringByteLen(dst.bstrVal), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(dst.bstrVal), 3), "abc");
  EXPECT_EQ(VariantClear(&src), S_OK);
  EXPECT_EQ(src.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&dst), S_OK);
}

TEST(Variant, InterfacesAreReferencedAndReleased) {
  CountedObject object;
  VARIANT src;
  VariantInit(&src);
  src.vt = VT_UNKNOWN;
  src.punkVal = &object;
  object.AddRef();
  VARIANT dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_EQ(object.refs, 3u);
  // Copying over a variant that holds a reference releases the old one first.
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_EQ(object.refs, 3u);
  VariantClear(&dst);
  VariantClear(&src);
  EXPECT_EQ(object.refs, 1u);
}

TEST(Variant, ReferencesOwnNothingAndScalarsCopyByValue) {
  BSTR text = SysAllocString(u"病历");
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &text;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &ref), S_OK);
  EXPECT_EQ(copy.pbstrVal, &text);
  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(VariantClear(&ref), S_OK);
  EXPECT_EQ(korvalis::BstrView(text), u"病历");
  SysFreeString(text);

  VARIANT flag;
  VariantInit(&flag);
  flag.vt = VT_BOOL;
  flag.boolVal = VARIANT_TRUE;
  ASSERT_EQ(VariantCopy(&copy, &flag), S_OK);
  EXPECT_EQ(copy.vt, VT_BOOL);
  EXPECT_EQ(copy.boolVal, -1);
}

TEST(Variant, UnknownKindsAreRefused) {
  VARIANT v;
  VariantInit(&v);
  v.vt = 0x0FFF;
  VARIANT dst;
  VariantInit(&dst);
  EXPECT_EQ(VariantCopy(&dst, &v), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(v.vt, 0x0FFF);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

}  // namespace
