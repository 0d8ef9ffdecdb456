// Every method of the 24 classes the library creates, called through Invoke by name with the
// real frame, data layer and bodies over a database with the system's schema, with arguments a
// careless or hostile client may send: no arguments at all (VT_EMPTY, read as null texts and
// zeros), malformed XML, XML nested far too deep, a large text, and numbers at the edges of
// their range. Each call must come back, with S_OK or with DISP_E_EXCEPTION carrying a
// description; none may bring the process down, and a failure must say what went wrong rather
// than that something unexpected happened.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "classes/my_service_class.h"
#include "classes/testing/surface_test_support.h"
#include "foundation/testing/data_source_test_util.h"
#include "interface/emr_call_scope.h"
#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

namespace korvalis::testing {
namespace {

enum class Hostility { kEmpty, kMalformedXml, kDeepXml, kLargeText, kExtremeNumbers };

const char* Name(Hostility h) {
  switch (h) {
    case Hostility::kEmpty: return "empty";
    case Hostility::kMalformedXml: return "malformed XML";
    case Hostility::kDeepXml: return "deep XML";
    case Hostility::kLargeText: return "large text";
    case Hostility::kExtremeNumbers: return "extreme numbers";
  }
  return "";
}

std::u16string TextFor(Hostility h) {
  switch (h) {
    case Hostility::kMalformedXml:
      return u"<root><a>1</b><extend><x></extend>&bogus;<";
    case Hostility::kDeepXml: {
      std::u16string deep;
      for (int i = 0; i < 20000; ++i) deep += u"<a>";
      return u"<root>" + deep;
    }
    case Hostility::kLargeText:
      return u"<root><a>" + std::u16string(1 << 20, u'数') + u"</a></root>";
    default:
      return u"";
  }
}

bool RefusesBeforeTheBody(Departure d) {
  return d == Departure::kNegativeIdRefused || d == Departure::kNegativeIdOrNullResultRefused ||
         d == Departure::kNullTextRefused || d == Departure::kIdBelowOneOrNullResultRefused;
}

// Methods that refuse an empty property document with an empty description, as their clients
// have always seen it.
bool RefusesAnEmptyDocumentSilently(std::u16string_view class_name, std::u16string_view method) {
  return class_name == u"EMRReport" &&
         (method == u"SetCatalogProperty" || method == u"SetReportProperty");
}

Departure DepartureOf(std::u16string_view class_name, int32_t dispid) {
  for (const WrapperRow& row : kWrapperRows) {
    if (row.class_name == class_name && row.dispid == dispid) return row.departure;
  }
  ADD_FAILURE() << "no row for " << ToUtf8(class_name) << " " << dispid;
  return Departure::kNone;
}

class HostileArgumentsTest : public ::testing::Test {
 protected:
  // The calls reach the process's database through "telv.config.xml", as the product's do.
  static void SetUpTestSuite() {
    datasource::testing::EMRDatabase();
    previous_ = frame::SetCallScopeRunner(&frame::RunEMRCall);
  }
  static void TearDownTestSuite() { frame::SetCallScopeRunner(previous_); }

  // Calls `method` of `object` with one argument per parameter shaped by `hostility`;
  // [in,out] texts are passed by reference. Expects a clean answer.
  static void CallHostile(IDispatch* object, const com::MethodInfo& method, Departure departure,
                          Hostility hostility, bool refuses_empty_document = false) {
    std::vector<BSTR> texts;
    texts.reserve(method.params.size());  // references into it must stay valid
    std::vector<VARIANT> reversed;
    for (const com::ParamInfo& p : method.params) {
      if (p.direction == com::ParamDirection::kOutRetval) continue;
      VARIANT v;
      VariantInit(&v);
      if (p.type == VT_BSTR && p.direction != com::ParamDirection::kIn) {
        texts.push_back(AllocBstr(TextFor(hostility)));
        v.vt = VT_BYREF | VT_BSTR;
        v.pbstrVal = &texts.back();
      } else if (p.direction != com::ParamDirection::kIn) {
        // Numbers by reference point into storage of their own.
        texts.push_back(nullptr);
        v.vt = VT_BYREF | p.type;
        v.byref = &numbers_[reversed.size()];
      } else if (hostility == Hostility::kExtremeNumbers && p.type == VT_I4) {
        v.vt = VT_I4;
        v.lVal = reversed.size() % 2 == 0 ? std::numeric_limits<LONG>::min()
                                          : std::numeric_limits<LONG>::max();
      } else if (hostility != Hostility::kEmpty && p.type == VT_BSTR) {
        texts.push_back(AllocBstr(TextFor(hostility)));
        v.vt = VT_BSTR;
        v.bstrVal = texts.back();
      }
      reversed.insert(reversed.begin(), v);
    }
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excepinfo{};
    UINT arg_error = 0;
    const HRESULT hr = object->Invoke(method.dispid, IID_NULL, 0, DISPATCH_METHOD, &params,
                                      &result, &excepinfo, &arg_error);
    if (hr == DISP_E_EXCEPTION) {
      const std::u16string description(BstrView(excepinfo.bstrDescription));
      const bool empty_document =
          hostility == Hostility::kEmpty || hostility == Hostility::kExtremeNumbers;
      if (description.empty() && !(refuses_empty_document && empty_document)) {
        // Only the methods that refuse before their body, or are not implemented, fail
        // without a description.
        EXPECT_TRUE(departure == Departure::kNotImplemented ? excepinfo.scode == E_NOTIMPL
                                                            : excepinfo.scode == E_FAIL &&
                                                                  RefusesBeforeTheBody(departure))
            << "a failure without a description";
      }
      EXPECT_EQ(description.find(u"出现异常错误"), std::u16string::npos)
          << "an unexpected failure: " << ToUtf8(description);
    } else {
      EXPECT_EQ(hr, S_OK);
    }
    VariantClear(&result);
    ClearExcepInfo(&excepinfo);
    for (BSTR text : texts) SysFreeString(text);
  }

  static frame::CallScopeRunner previous_;
  static inline LONG numbers_[com::kMaxDispatchParams] = {};
};

frame::CallScopeRunner HostileArgumentsTest::previous_ = nullptr;

TEST_F(HostileArgumentsTest, EveryMethodAnswersEveryShapeOfBadInput) {
  for (const ClassUnderTest& c : kClassesUnderTest) {
    IDispatch* object = CreateDispatch(c.library);
    for (const com::MethodInfo& method : c.info->methods) {
      for (Hostility h : {Hostility::kEmpty, Hostility::kMalformedXml, Hostility::kDeepXml,
                          Hostility::kLargeText, Hostility::kExtremeNumbers}) {
        SCOPED_TRACE(ToUtf8(c.name) + "::" + ToUtf8(method.name) + " with " + Name(h));
        CallHostile(object, method, DepartureOf(c.name, method.dispid), h,
                    RefusesAnEmptyDocumentSilently(c.name, method.name));
      }
    }
    object->Release();
  }
}

TEST_F(HostileArgumentsTest, TheWorkListServiceAnswersEveryShapeOfBadInput) {
  IDispatch* object = CreateDispatch(&CreateMyService);
  for (const com::MethodInfo& method : kIMyServiceInfo.methods) {
    for (Hostility h : {Hostility::kEmpty, Hostility::kMalformedXml, Hostility::kDeepXml,
                        Hostility::kLargeText, Hostility::kExtremeNumbers}) {
      SCOPED_TRACE("MyService::" + ToUtf8(method.name) + " with " + Name(h));
      CallHostile(object, method, Departure::kNone, h);
    }
  }
  object->Release();
}

}  // namespace
}  // namespace korvalis::testing
