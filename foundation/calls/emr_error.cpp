#include "foundation/calls/emr_error.h"

#include "platform/com/error_info.h"

CEMRError::~CEMRError() = default;

CEMRRemoteError::~CEMRRemoteError() = default;

std::u16string CEMRRemoteError::GetError() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return kUnknownSystemError;
  BSTR description = nullptr;
  std::u16string text;
  if (SUCCEEDED(info->GetDescription(&description))) {
    text.assign(korvalis::BstrView(description));
    SysFreeString(description);
  }
  info->Release();
  return text;
}

void CEMRRemoteError::SetError(const std::u16string& text) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || create == nullptr) return;
  create->SetDescription(text.c_str());
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}
