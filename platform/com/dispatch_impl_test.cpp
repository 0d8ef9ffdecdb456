#include "platform/com/dispatch_impl.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/com/sample_shapes_test.h"

namespace korvalis::com {
namespace {

using testing::CShapes;
using testing::kIShapesInfo;

// Builds DISPPARAMS from arguments written in call order; frees what it owns.
class Arguments {
 public:
  Arguments& Text(std::u16string_view text) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = AllocBstr(text);
    values_.push_back(v);
    return *this;
  }
  Arguments& Long(LONG value) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = value;
    values_.push_back(v);
    return *this;
  }
  Arguments& Short(SHORT value) {
    VARIANT v{};
    v.vt = VT_I2;
    v.iVal = value;
    values_.push_back(v);
    return *this;
  }
  Arguments& Bool(bool value) {
    VARIANT v{};
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    values_.push_back(v);
    return *this;
  }
  Arguments& Raw(const VARIANT& v) {
    values_.push_back(v);
    return *this;
  }
  // Names the arguments given so far, in call order, by parameter position.
  Arguments& Named(std::vector<DISPID> ids) {
    names_ = std::move(ids);
    return *this;
  }
  DISPPARAMS* Params() {
    // Named arguments first (in the order named), then positional ones reversed.
    size_t named = names_.size();
    reversed_.clear();
    named_ids_.clear();
    for (size_t i = 0; i < named; ++i) {
      reversed_.push_back(values_[values_.size() - named + i]);
      named_ids_.push_back(names_[i]);
    }
    for (size_t i = values_.size() - named; i-- > 0;) reversed_.push_back(values_[i]);
    params_ = {reversed_.data(), named_ids_.data(), static_cast<UINT>(reversed_.size()),
               static_cast<UINT>(named)};
    return &params_;
  }
  ~Arguments() {
    for (VARIANT& v : values_) VariantClear(&v);
  }

 private:
  std::vector<VARIANT> values_;
  std::vector<DISPID> names_;
  std::vector<VARIANT> reversed_;
  std::vector<DISPID> named_ids_;
  DISPPARAMS params_{};
};

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    object_ = new ComObject<CShapes>();
    object_->AddRef();
    dispatch_ = object_;
  }
  void TearDown() override {
    VariantClear(&result_);
    ClearExcepInfo(&excep_);
    object_->Release();
  }
  DISPID IdOf(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
  }
  HRESULT Call(DISPID id, Arguments& args) {
    VariantClear(&result_);
    ClearExcepInfo(&excep_);
    arg_err_ = 99;
    return dispatch_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, args.Params(), &result_, &excep_,
                             &arg_err_);
  }

  ComObject<CShapes>* object_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  VARIANT result_{};
  EXCEPINFO excep_{};
  UINT arg_err_ = 0;
};

TEST_F(DispatchTest, ByNameAndByDispidReachTheSameMethod) {
  EXPECT_EQ(IdOf(u"Area"), 1);
  EXPECT_EQ(IdOf(u"AREA"), 1);
  Arguments by_id;
  by_id.Text(u"square").Long(6);
  ASSERT_EQ(Call(1, by_id), S_OK);
  EXPECT_EQ(result_.vt, VT_I4);
  EXPECT_EQ(result_.lVal, 36);
  EXPECT_EQ(object_->last_shape, u"square");
  Arguments by_name;
  by_name.Text(u"cube").Long(3);
  ASSERT_EQ(Call(IdOf(u"area"), by_name), S_OK);
  EXPECT_EQ(result_.lVal, 9);
  EXPECT_EQ(object_->last_shape, u"cube");
}

TEST_F(DispatchTest, ParameterNamesResolveAndNamedArgumentsLandInTheirPlace) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Area"), const_cast<LPOLESTR>(u"lngside"),
                      const_cast<LPOLESTR>(u"bstrShape"), const_cast<LPOLESTR>(u"bogus")};
  DISPID ids[4];
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  EXPECT_EQ(ids[3], DISPID_UNKNOWN);

  Arguments named;  // Area(lngSide:=5, bstrShape:="named")
  named.Long(5).Text(u"named").Named({1, 0});
  ASSERT_EQ(Call(1, named), S_OK);
  EXPECT_EQ(object_->last_shape, u"named");
  EXPECT_EQ(object_->last_side, 5);

  Arguments mixed;  // Area("mixed", lngSide:=4)
  mixed.Text(u"mixed").Long(4).Named({1});
  ASSERT_EQ(Call(1, mixed), S_OK);
  EXPECT_EQ(object_->last_shape, u"mixed");
  EXPECT_EQ(result_.lVal, 16);

  Arguments twice;  // Area("x", bstrShape:="y")
  twice.Text(u"x").Text(u"y").Named({0});
  EXPECT_EQ(Call(1, twice), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(arg_err_, 0u);
  Arguments retval_named;
  retval_named.Text(u"x").Long(2).Named({2});
  EXPECT_EQ(Call(1, retval_named), DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchTest, UnknownMembersAndInterfacesAreRefused) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Volume"), const_cast<LPOLESTR>(u"bstrShape")};
  DISPID ids[2] = {7, 7};
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(dispatch_->GetIDsOfNames(kIShapesInfo.iid, names, 1, 0, ids),
            DISP_E_UNKNOWNINTERFACE);

  Arguments none;
  EXPECT_EQ(Call(3, none), DISP_E_MEMBERNOTFOUND);  // the gap in the identifiers
  EXPECT_EQ(Call(0, none), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(DISPID_UNKNOWN, none), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(dispatch_->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYGET, none.Params(), nullptr,
                              nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(dispatch_->Invoke(4, kIShapesInfo.iid, 0, DISPATCH_METHOD, none.Params(), nullptr,
                              nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(object_->clears, 0);
}

TEST_F(DispatchTest, MethodWithoutArguments) {
  Arguments none;
  EXPECT_EQ(Call(IdOf(u"Clear"), none), S_OK);
  EXPECT_EQ(result_.vt, VT_EMPTY);
  EXPECT_EQ(object_->clears, 1);
  EXPECT_EQ(dispatch_->Invoke(4, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              none.Params(), nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(object_->clears, 2);
  Arguments extra;
  extra.Long(1);
  EXPECT_EQ(Call(4, extra), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(object_->clears, 2);
}

TEST_F(DispatchTest, WrongCountsAndTypesNeverReachTheMethod) {
  Arguments too_few;
  too_few.Text(u"square");
  EXPECT_EQ(Call(1, too_few), DISP_E_BADPARAMCOUNT);
  Arguments too_many;
  too_many.Text(u"square").Long(2).Long(3);
  EXPECT_EQ(Call(1, too_many), DISP_E_BADPARAMCOUNT);

  Arguments not_a_number;
  not_a_number.Text(u"square").Text(u"two");
  EXPECT_EQ(Call(1, not_a_number), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err_, 0u);  // rgvarg index of the second argument
  Arguments too_big;
  too_big.Text(u"square").Text(u"4294967296");
  EXPECT_EQ(Call(1, too_big), DISP_E_OVERFLOW);
  VARIANT null_value{};
  null_value.vt = VT_NULL;
  Arguments null_text;
  null_text.Raw(null_value).Long(2);
  EXPECT_EQ(Call(1, null_text), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err_, 1u);
  Arguments short_overflow;
  short_overflow.Bool(true).Long(40000);
  EXPECT_EQ(Call(6, short_overflow), DISP_E_OVERFLOW);
  EXPECT_TRUE(object_->last_shape.empty());

  // [in,out] takes a reference of the declared type only.
  Arguments by_value;
  by_value.Text(u"-x").Text(u"name");
  EXPECT_EQ(Call(2, by_value), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err_, 0u);

  VARIANT null_reference{};
  null_reference.vt = VT_BYREF | VT_BSTR;
  Arguments no_storage;
  no_storage.Text(u"-x").Raw(null_reference);
  EXPECT_EQ(Call(2, no_storage), DISP_E_TYPEMISMATCH);

  DISPPARAMS broken{nullptr, nullptr, 2, 0};
  EXPECT_EQ(dispatch_->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &broken, nullptr, nullptr,
                              nullptr),
            E_INVALIDARG);
}

TEST_F(DispatchTest, ArgumentsAreCoercedToTheDeclaredTypes) {
  Arguments texts;
  texts.Text(u"tri").Text(u" -7 ");
  ASSERT_EQ(Call(1, texts), S_OK);
  EXPECT_EQ(object_->last_side, -7);

  Arguments numbers;  // a number for a BSTR, a short for a long
  numbers.Long(42).Short(3);
  ASSERT_EQ(Call(1, numbers), S_OK);
  EXPECT_EQ(object_->last_shape, u"42");
  EXPECT_EQ(object_->last_side, 3);

  Arguments boolean_text;
  boolean_text.Bool(true).Long(2);
  ASSERT_EQ(Call(1, boolean_text), S_OK);
  EXPECT_EQ(object_->last_shape, u"-1");

  Arguments flags;
  flags.Text(u"True").Text(u"12");
  ASSERT_EQ(Call(6, flags), S_OK);
  EXPECT_EQ(object_->last_flag, VARIANT_TRUE);
  EXPECT_EQ(object_->last_small, 12);
  EXPECT_EQ(result_.vt, VT_BOOL);
  EXPECT_EQ(result_.boolVal, VARIANT_FALSE);

  Arguments flag_numbers;
  flag_numbers.Long(5).Bool(false);
  ASSERT_EQ(Call(6, flag_numbers), S_OK);
  EXPECT_EQ(object_->last_flag, VARIANT_TRUE);
  EXPECT_EQ(object_->last_small, 0);

  BSTR referenced = AllocBstr(u"by reference");
  VARIANT ref{};
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &referenced;
  VARIANT empty{};
  Arguments refs;
  refs.Raw(ref).Raw(empty);
  ASSERT_EQ(Call(1, refs), S_OK);
  EXPECT_EQ(object_->last_shape, u"by reference");
  EXPECT_EQ(object_->last_side, 0);
  SysFreeString(referenced);
}

TEST_F(DispatchTest, VariantsHeldByReferenceAreReadAndOddKindsRefused) {
  // A client that passes its own VARIANTs by reference: the values they hold are read.
  VARIANT shape{};
  shape.vt = VT_BSTR;
  shape.bstrVal = AllocBstr(u"held");
  VARIANT side{};
  side.vt = VT_I2;
  side.iVal = 7;
  VARIANT shape_ref{};
  shape_ref.vt = VT_BYREF | VT_VARIANT;
  shape_ref.pvarVal = &shape;
  VARIANT side_ref{};
  side_ref.vt = VT_BYREF | VT_VARIANT;
  side_ref.pvarVal = &side;
  Arguments held;
  held.Raw(shape_ref).Raw(side_ref);
  ASSERT_EQ(Call(1, held), S_OK);
  EXPECT_EQ(object_->last_shape, u"held");
  EXPECT_EQ(result_.lVal, 49);

  // A reference to a reference, a reference without storage, a missing optional argument
  // and an object are no texts and no numbers: refused before the method runs.
  VARIANT nested{};
  nested.vt = VT_BYREF | VT_VARIANT;
  nested.pvarVal = &shape_ref;
  VARIANT no_storage{};
  no_storage.vt = VT_BYREF | VT_VARIANT;
  VARIANT no_number{};
  no_number.vt = VT_BYREF | VT_I4;
  VARIANT missing{};
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  VARIANT object{};
  object.vt = VT_DISPATCH;
  object.pdispVal = dispatch_;
  VARIANT holds_object{};
  holds_object.vt = VT_BYREF | VT_VARIANT;
  holds_object.pvarVal = &object;
  const VARIANT odd[] = {nested, no_storage, missing, object, holds_object};
  object_->last_shape.clear();
  for (const VARIANT& value : odd) {
    SCOPED_TRACE(value.vt);
    // Each Arguments releases an object it holds directly.
    if (value.vt == VT_DISPATCH) {
      dispatch_->AddRef();
      dispatch_->AddRef();
    }
    Arguments as_text;
    as_text.Raw(value).Long(2);
    EXPECT_EQ(Call(1, as_text), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(arg_err_, 1u);
    Arguments as_number;
    as_number.Text(u"x").Raw(value);
    EXPECT_EQ(Call(1, as_number), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(arg_err_, 0u);
  }
  Arguments null_number;
  null_number.Text(u"x").Raw(no_number);
  EXPECT_EQ(Call(1, null_number), DISP_E_TYPEMISMATCH);
  EXPECT_TRUE(object_->last_shape.empty());
  SysFreeString(shape.bstrVal);
}

TEST_F(DispatchTest, InOutStringIsPassedByReference) {
  BSTR name = AllocBstr(u"chart");
  VARIANT ref{};
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &name;
  Arguments args;
  args.Text(u"-2").Raw(ref);
  ASSERT_EQ(Call(IdOf(u"Rename"), args), S_OK);
  EXPECT_EQ(BstrView(name), u"chart-2");
  EXPECT_EQ(result_.vt, VT_EMPTY);
  SysFreeString(name);
}

TEST_F(DispatchTest, FailingMethodReportsItsDescriptionAndKeepsItsResult) {
  Arguments args;
  args.Text(u"数据库错误, 请与系统管理员联系.");
  EXPECT_EQ(Call(5, args), DISP_E_EXCEPTION);
  EXPECT_EQ(excep_.scode, E_FAIL);
  EXPECT_EQ(BstrView(excep_.bstrDescription), u"数据库错误, 请与系统管理员联系.");
  EXPECT_EQ(result_.vt, VT_BSTR);
  EXPECT_EQ(BstrView(result_.bstrVal), u"partial");
  IErrorInfo* left = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);  // moved into EXCEPINFO

  // Without EXCEPINFO the error stays with the thread; without a result nothing leaks.
  Arguments again;
  again.Text(u"second");
  EXPECT_EQ(dispatch_->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, again.Params(), nullptr, nullptr,
                              nullptr),
            DISP_E_EXCEPTION);
  ASSERT_EQ(GetErrorInfo(0, &left), S_OK);
  BSTR description = nullptr;
  left->GetDescription(&description);
  EXPECT_EQ(BstrView(description), u"second");
  SysFreeString(description);
  left->Release();
}

TEST(Dispatch, NoTypeInformationObjects) {
  UINT count = 9;
  EXPECT_EQ(DispatchGetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(DispatchGetTypeInfo(0, &info), DISP_E_BADINDEX);
}

}  // namespace
}  // namespace korvalis::com
