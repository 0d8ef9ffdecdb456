// A second copy of the error-information code, built into a module that the tests load: as
// the product library and the sibling stand-ins each carry a copy, an error set through this
// copy must be read through the test's own.
#include "platform/com/error_info.h"

extern "C" HRESULT SetErrorInOtherCopy(const char16_t* description) {
  ICreateErrorInfo* create = nullptr;
  HRESULT hr = CreateErrorInfo(&create);
  if (FAILED(hr)) return hr;
  create->SetDescription(description);
  IErrorInfo* info = nullptr;
  hr = create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  if (SUCCEEDED(hr)) {
    hr = SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return hr;
}
