// IConfigTask: the dual interface of the automation class ConfigTask, the QC task configurations
// and the task counts and patient lists that remind QC users of their work.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIConfigTaskInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for ConfigTask ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IConfigTask =
    korvalis::com::MakeGuid("AE8109E3-533A-4122-9E16-5484124EFB6A");
inline constexpr GUID CLSID_ConfigTask =
    korvalis::com::MakeGuid("DD176170-DCD7-4636-A789-213085307389");

struct IConfigTask : IDispatch {
  virtual HRESULT GetQcTaskCountList(BSTR strUserId, BSTR strDeptId, LONG lngUserIdentity,
                                     BSTR* bstrList) = 0;
  virtual HRESULT GetTaskPatientList(BSTR strUserId, BSTR strDeptId, LONG lngUserIdentity,
                                     BSTR strTaskId, BSTR* bstrList) = 0;
  virtual HRESULT NewTendTask(BSTR bstrProperty, LONG* plngNewTaskId) = 0;
  virtual HRESULT GetTendTaskList(BSTR strTaskId, BSTR* bstrList) = 0;
  virtual HRESULT UpdateTendTask(BSTR bstrProperty, BSTR bstrTaskID) = 0;

 protected:
  ~IConfigTask() = default;
};

extern const korvalis::com::InterfaceInfo kIConfigTaskInfo;
