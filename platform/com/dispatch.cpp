#include "platform/com/dispatch.h"

void ClearExcepInfo(EXCEPINFO* excepinfo) {
  if (excepinfo == nullptr) return;
  SysFreeString(excepinfo->bstrSource);
  SysFreeString(excepinfo->bstrDescription);
  SysFreeString(excepinfo->bstrHelpFile);
  *excepinfo = EXCEPINFO{};
}
