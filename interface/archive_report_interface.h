// IArchiveReport: the dual interface of the automation class ArchiveReport, the archive statistics:
// the in-hospital department list and the writers of documents in a date span.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIArchiveReportInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for ArchiveReport ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IArchiveReport =
    korvalis::com::MakeGuid("546D957C-DAB3-4E37-81C0-7F4DC604DD27");
inline constexpr GUID CLSID_ArchiveReport =
    korvalis::com::MakeGuid("F8A428CA-5F67-43AB-834C-ADF2409C9712");

struct IArchiveReport : IDispatch {
  virtual HRESULT Init(BSTR bstrSession) = 0;
  virtual HRESULT GetInDeptList(BSTR* pbstrList) = 0;
  virtual HRESULT GetWriterInfoList(BSTR bstrStartDate, BSTR bstrEndDate, BSTR bstrDeptID,
                                    BSTR bstrTempID, BSTR* pbstrList) = 0;
  virtual HRESULT GetTimeOutWriteList(BSTR bstrDeptID, BSTR bstrEMRType, BSTR* pbstrList) = 0;
  virtual HRESULT GetTimeOutUnwriteList(BSTR bstrStartDate, BSTR bstrEndDate, BSTR bstrDeptID,
                                        BSTR* pbstrList) = 0;

 protected:
  ~IArchiveReport() = default;
};

extern const korvalis::com::InterfaceInfo kIArchiveReportInfo;
