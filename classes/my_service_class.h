// CMyService: the automation class MyService, the work-list service. A client creates one
// object, binds it to its login with Init and then asks for the lists of its work: notices,
// records to write, rolled-back records, consultation requests and records due for commit
// (classes/work_lists.h).
//
// Unlike the other automation classes it has no method frame: a method opens its own data
// source only when it reads the database, casts no transaction vote, sets no error information
// and returns S_OK whatever happens. A list method that fails answers a copy of the constant
// empty document (EmptyListDocument), so a caller sees a failure as an empty list; the event
// log says why (a failure, a component the suite lacks, a login not found).
//
// Login binding:
//
//   created (ids "") ──Init──▶ bound (ids of the one online login with the cookie)
//                         └──▶ unbound (ids "NULL": no such login, several, or a failure)
//   any state ──Init──▶ starts again from "NULL"
//
// The class is a template over its data source so that tests can open a database of their
// own; CMyService is the class the library creates, over CEMRDataSource.
//
// Thread-safety: registered "Both" and takes no lock. Init writes the ids that the other
// methods read, so one object must not be called from two threads at once.
#pragma once

#include <string>
#include <string_view>

#include "classes/work_lists.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/xml/empty_list_document.h"
#include "interface/my_service_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"

namespace korvalis::worklist {

// Hands `answer` over to *list, or frees it when `list` is null.
void AnswerList(BSTR* list, UniqueBstr answer);

// The event-log records of the service, which answers its caller S_OK whatever happens: the
// administrator reads there why a list was empty.
// Called inside a catch block: an error record naming `method`, that it answered `outcome`
// (the empty list, or an unbound login) and the failure caught; a component the suite does
// not provide is named as such.
void ReportFailure(std::u16string_view method, std::u16string_view outcome) noexcept;
// A warning that Init found no one online login for its cookie, so that the lists are those of
// no user. The cookie, a login's credential, is not written.
void ReportUnboundLogin();

}  // namespace korvalis::worklist

template <class DataSource>
class CMyServiceT : public korvalis::com::ComObjectRoot,
                    public korvalis::com::DispatchImpl<IMyService, kIMyServiceInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CMyServiceT, IMyService>(IID_IMyService),
        MapEntry<CMyServiceT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT Init(BSTR bstrSession) override {
    try {
      m_strUserID = u"NULL";
      m_strDeptID = u"NULL";
      DataSource data_source;
      if (auto login =
              korvalis::worklist::FindLogin(data_source, korvalis::BstrView(bstrSession))) {
        m_strUserID = std::move(login->user_id);
        m_strDeptID = std::move(login->dept_id);
      } else {
        korvalis::worklist::ReportUnboundLogin();
      }
    } catch (...) {
      // The ids stay "NULL": the lists of an unbound object are those of no user.
      korvalis::worklist::ReportFailure(u"Init", u"未绑定登录, 各列表将为空");
    }
    return S_OK;
  }

  HRESULT GetToWriteEMR(BSTR* pbstrList) override {
    return Answer(u"GetToWriteEMR", pbstrList, [&] {
      DataSource data_source;
      return korvalis::worklist::ToWriteList(data_source, m_strUserID);
    });
  }

  HRESULT GetRollbackEMR(BSTR* pbstrList) override {
    return Answer(u"GetRollbackEMR", pbstrList, [&] {
      DataSource data_source;
      return korvalis::worklist::RollbackList(data_source, m_strDeptID);
    });
  }

  HRESULT GetConsultRequest(BSTR* pbstrList) override {
    return Answer(u"GetConsultRequest", pbstrList, [&] {
      DataSource data_source;
      return korvalis::worklist::ConsultRequestList(data_source, m_strUserID, m_strDeptID);
    });
  }

  HRESULT GetNotifyMessage(BSTR* pbstrList) override {
    return Answer(u"GetNotifyMessage", pbstrList,
                  [&] { return korvalis::worklist::NoticeList(m_strDeptID, m_strUserID); });
  }

  // The fixed answer when no record can be due returns E_POINTER for a null pbstrList.
  HRESULT GetToCommitEMR(BSTR* pbstrList) override {
    try {
      DataSource data_source;
      std::optional<korvalis::worklist::UniqueBstr> list =
          korvalis::worklist::ToCommitList(data_source, m_strDeptID);
      if (!list) {
        if (pbstrList == nullptr) return E_POINTER;
        *pbstrList = korvalis::AllocBstr(korvalis::worklist::kNoCommitDueDocument);
        return *pbstrList != nullptr ? S_OK : E_OUTOFMEMORY;
      }
      korvalis::worklist::AnswerList(pbstrList, std::move(*list));
    } catch (...) {
      korvalis::worklist::ReportFailure(u"GetToCommitEMR", kAnsweredEmpty);
      korvalis::AnswerEmptyList(pbstrList);
    }
    return S_OK;
  }

 protected:
  ~CMyServiceT() = default;

 private:
  static constexpr char16_t kAnsweredEmpty[] = u"回答了空列表";

  template <class MakeList>
  static HRESULT Answer(std::u16string_view method, BSTR* list, MakeList make_list) {
    try {
      korvalis::worklist::AnswerList(list, make_list());
    } catch (...) {
      korvalis::worklist::ReportFailure(method, kAnsweredEmpty);
      korvalis::AnswerEmptyList(list);
    }
    return S_OK;
  }

  std::u16string m_strUserID;  // of the bound login; "" before Init, "NULL" when unbound
  std::u16string m_strDeptID;
};

using CMyService = CMyServiceT<CEMRDataSource>;
extern template class CMyServiceT<CEMRDataSource>;

// Creates one MyService object; refuses an outer object (CLASS_E_NOAGGREGATION).
HRESULT CreateMyService(IUnknown* outer, REFIID riid, void** ppv);
