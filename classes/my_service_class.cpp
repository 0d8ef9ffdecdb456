#include "classes/my_service_class.h"

#include <exception>

#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/suite/factory.h"
#include "platform/text/unicode.h"

namespace korvalis::worklist {

void AnswerList(BSTR* list, UniqueBstr answer) {
  if (list != nullptr) *list = answer.release();
}

void ReportFailure(std::u16string_view method, std::u16string_view outcome) noexcept {
  try {
    std::u16string cause;
    try {
      throw;
    } catch (const CEMRException& e) {
      cause = e.GetText();
    } catch (const std::exception& e) {
      cause = FromUtf8(e.what());
    } catch (...) {
      cause = u"未知错误";
    }
    // The factories' own failures say only that a class is missing: say whose.
    if (cause == kNoImplementingClass || cause == kCreateComponentError || cause == kClassIdError) {
      cause += u" 套件的组件缺失或未注册, 请检查套件组件的注册与配置.";
    }
    CEventLogEntry(u"工作列表服务 " + std::u16string(method) + u" 失败, " +
                       std::u16string(outcome) + u": " + cause,
                   CEventLogEntry::kError)
        .Report();
  } catch (...) {
    // No memory for the record: the list is answered all the same.
  }
}

void ReportUnboundLogin() {
  CEventLogEntry(std::u16string(u"工作列表服务 Init: 没有找到该会话唯一的在线登录 (TELV_LOGIN_LOG "
                                u"中 COOKIE 相符且 ONLINE_FLAG = 1 的行不是恰好一行), 未绑定用户, "
                                u"各列表将为空; 请重新登录."),
                 CEventLogEntry::kWarning)
      .Report();
}

}  // namespace korvalis::worklist

template class CMyServiceT<CEMRDataSource>;

HRESULT CreateMyService(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CMyService, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
