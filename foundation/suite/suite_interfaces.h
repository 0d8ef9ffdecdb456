// The interfaces of the suite's sibling components that the system calls: the registry
// component that lists which class implements which interface, the date-time and security
// components, the HIS components, the dictionary component and the helpers of the work-list
// service. The system creates them by interface identifier through the factories
// (foundation/suite/factory.h) and calls them through these declarations only.
//
// Every interface is dual: its own methods follow the three IUnknown and four IDispatch slots
// (the first own method is slot 7). The methods are declared in slot order; a slot that the
// system never calls is declared as ReservedN (N its slot) so that the slots after it keep
// their places. Every out-parameter is written by the component and freed by the caller.
//
// Thread-safety: interface declarations; each component states its own.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

// The registry component: the class and interface through which the factories learn which
// class implements each interface.
inline constexpr CLSID CLSID_SuiteRegistry =
    korvalis::com::MakeGuid("6988C981-7789-43BE-B514-7983C746DC50");
inline constexpr IID IID_ISuiteRegistry =
    korvalis::com::MakeGuid("F7F08C63-184C-4E83-8EE2-E9B0353FC8BD");

struct ISuiteRegistry : IDispatch {
  // The list document: a root element whose children carry `iid` and `clsid`, each a GUID
  // text of 36 characters without braces.
  virtual HRESULT GetInterfaceList(BSTR* pbstrList) = 0;

 protected:
  ~ISuiteRegistry() = default;
};

// The date-time component: the current date and time of the suite.
inline constexpr IID IID_IDateTimeService =
    korvalis::com::MakeGuid("DE273C17-AE14-4AF1-877C-EA38A73922E6");

struct IDateTimeService : IDispatch {
  // "YYYY-MM-DD HH:MM:SS", 24-hour time.
  virtual HRESULT GetDateTime(BSTR* pbstrDateTime) = 0;

 protected:
  ~IDateTimeService() = default;
};

// The security component: users, their properties and their passwords.
inline constexpr IID IID_ISecurityService =
    korvalis::com::MakeGuid("F15A3441-1989-4B42-8B93-F462B2AB5AD5");

struct ISecurityService : IDispatch {
  // The user ID of a login code; an empty text when the login code is unknown.
  virtual HRESULT GetUserIdByLoginCode(BSTR bstrLoginCode, BSTR* pbstrUserID) = 0;
  virtual HRESULT Reserved8() = 0;
  // The user's property document (root element with one child per property, `name` among
  // them); an empty text when the user is unknown.
  virtual HRESULT GetUserProperty(BSTR bstrUserID, BSTR* pbstrProperty) = 0;
  // Whether the password is right for the login code: VARIANT_TRUE or VARIANT_FALSE.
  virtual HRESULT CheckPassword(BSTR bstrLoginCode, BSTR bstrPassword, VARIANT_BOOL* pvbPass) = 0;

 protected:
  ~ISecurityService() = default;
};

// The user-property component of the work-list service and the QC department lists.
inline constexpr IID IID_IUserProperty =
    korvalis::com::MakeGuid("1826D1CA-EDBD-4577-8154-BA18F52A4AAF");

struct IUserProperty : IDispatch {
  // A property document whose child `name` is the user's display name.
  virtual HRESULT GetUserProperty(BSTR bstrUserID, BSTR* pbstrProperty) = 0;

 protected:
  ~IUserProperty() = default;
};

// The HIS department component.
inline constexpr IID IID_IHISDepartment =
    korvalis::com::MakeGuid("29E3250A-0592-481D-BB0F-D80754D1AB74");

struct IHISDepartment : IDispatch {
  // A property document with the department's `name` and `hospital`.
  virtual HRESULT GetDeptInfo(BSTR bstrDeptID, BSTR* pbstrInfo) = 0;

 protected:
  ~IHISDepartment() = default;
};

// The HIS hospital component, which also answers the department lists.
inline constexpr IID IID_IHISHospital =
    korvalis::com::MakeGuid("333FBEFB-3C68-48A6-B34A-C7A76746D679");

struct IHISHospital : IDispatch {
  // A property document with the hospital's `name`.
  virtual HRESULT GetHospitalInfo(BSTR bstrHospitalID, BSTR* pbstrInfo) = 0;
  // The department dictionary (the code is empty).
  virtual HRESULT GetDeptDict(BSTR bstrCode, BSTR* pbstrDict) = 0;
  // The in-hospital departments of the code; "-10000" asks for all of them.
  virtual HRESULT GetDeptList(BSTR bstrCode, BSTR* pbstrList) = 0;

 protected:
  ~IHISHospital() = default;
};

// The dictionary component: seven dictionaries, one method each.
inline constexpr IID IID_IDictionaryService =
    korvalis::com::MakeGuid("F9CF0754-77FB-440A-BCC6-7A985835E369");

struct IDictionaryService : IDispatch {
  virtual HRESULT GetDictionary1(BSTR* pbstrDict) = 0;
  virtual HRESULT GetDictionary2(BSTR* pbstrDict) = 0;
  virtual HRESULT GetDictionary3(BSTR* pbstrDict) = 0;
  virtual HRESULT GetDictionary4(BSTR* pbstrDict) = 0;
  virtual HRESULT GetDictionary5(BSTR* pbstrDict) = 0;
  virtual HRESULT GetDictionary6(BSTR* pbstrDict) = 0;
  virtual HRESULT GetDictionary7(BSTR* pbstrDict) = 0;

 protected:
  ~IDictionaryService() = default;
};

// The HIS patient-information component: the data of one visit (patient id, event number).
inline constexpr IID IID_IHISPatientInfo =
    korvalis::com::MakeGuid("8205F0FB-A8A0-4FE9-A568-98A2D42614CB");

struct IHISPatientInfo : IDispatch {
  // Text: the residence number.
  virtual HRESULT GetResidenceNo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrText) = 0;
  virtual HRESULT Reserved8() = 0;
  virtual HRESULT Reserved9() = 0;
  // `in` (first `dept` child with `time`), `warddept` (text, `id`) and `out`.
  virtual HRESULT GetInOutInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  // `clinic`, `residence` and `finish` diagnoses.
  virtual HRESULT GetDiagnosisInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  // One child of the root per operation.
  virtual HRESULT GetOperationInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  // One child of the root per fee class: its name and the amount as text.
  virtual HRESULT GetFeeInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  virtual HRESULT IsDischarged(BSTR bstrPatientID, BSTR bstrEventNo, VARIANT_BOOL* pvbResult) = 0;
  // The order sheets, whole.
  virtual HRESULT GetLongTermOrders(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  virtual HRESULT GetTemporaryOrders(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  virtual HRESULT Reserved17() = 0;
  virtual HRESULT Reserved18() = 0;
  virtual HRESULT Reserved19() = 0;
  virtual HRESULT Reserved20() = 0;
  virtual HRESULT Reserved21() = 0;
  virtual HRESULT Reserved22() = 0;
  virtual HRESULT Reserved23() = 0;
  virtual HRESULT Reserved24() = 0;
  // `fee` elements with `code` and the amount as text.
  virtual HRESULT GetFeeList(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;

 protected:
  ~IHISPatientInfo() = default;
};

// The HIS clinic component: the outpatient data of one visit.
inline constexpr IID IID_IHISClinicInfo =
    korvalis::com::MakeGuid("796B4D9C-5911-49F0-BD38-D56AE52BD97D");

struct IHISClinicInfo : IDispatch {
  virtual HRESULT Reserved7() = 0;
  virtual HRESULT Reserved8() = 0;
  // Registration, with the child `caseno`.
  virtual HRESULT GetRegInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  virtual HRESULT Reserved10() = 0;
  // Prescriptions: groups of items.
  virtual HRESULT GetRecipeInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  // Diagnoses: the children's texts.
  virtual HRESULT GetDiagInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  // Examinations: the children's names and texts.
  virtual HRESULT GetExamineInfo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;

 protected:
  ~IHISClinicInfo() = default;
};

// The notice component of the work-list service.
inline constexpr IID IID_INoticeService =
    korvalis::com::MakeGuid("FA8D5C66-6EC0-4382-B478-CC7E117A8401");

struct INoticeService : IDispatch {
  virtual HRESULT Reserved7() = 0;
  virtual HRESULT Reserved8() = 0;
  virtual HRESULT Reserved9() = 0;
  // The notices for a department and a user, in the component's own format.
  virtual HRESULT GetNotifyMessage(BSTR bstrDeptID, BSTR bstrUserID, BSTR* pbstrList) = 0;

 protected:
  ~INoticeService() = default;
};

// The component the work-list service creates beside the record plan; no method is called.
inline constexpr IID IID_IWorkListService =
    korvalis::com::MakeGuid("9418FBA3-5A8B-406E-AB0F-8D71FDD04718");

struct IWorkListService : IDispatch {
 protected:
  ~IWorkListService() = default;
};

// The record plan of a visit: which records are to be written, by when.
inline constexpr IID IID_IRecordPlan =
    korvalis::com::MakeGuid("15AEBE2F-1BAC-48BC-A8CF-3CD770566F07");

struct IRecordPlan : IDispatch {
  virtual HRESULT Reserved7() = 0;
  virtual HRESULT Reserved8() = 0;
  virtual HRESULT Reserved9() = 0;
  virtual HRESULT Reserved10() = 0;
  virtual HRESULT Reserved11() = 0;
  virtual HRESULT Reserved12() = 0;
  // A root element with one child per record to write, with `id`, `code`, `timeout` and text.
  virtual HRESULT GetRecordPlan(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrPlan) = 0;

 protected:
  ~IRecordPlan() = default;
};

// The server date and time of the work-list service.
inline constexpr IID IID_IServerDateTime =
    korvalis::com::MakeGuid("6A0AE71C-C585-43BE-B212-D4158C8B2185");

struct IServerDateTime : IDispatch {
  // "YYYY-MM-DD HH:MM:SS", 24-hour time.
  virtual HRESULT GetDateTime(BSTR* pbstrDateTime) = 0;

 protected:
  ~IServerDateTime() = default;
};

// The parameters of the work-list service.
inline constexpr IID IID_IWorkListParam =
    korvalis::com::MakeGuid("BF241BE2-42AF-4A9D-90D4-AEBF9EFA01A2");

struct IWorkListParam : IDispatch {
  // The parameter's value as text; the out-parameter stays unset for an unknown name.
  virtual HRESULT GetParam(BSTR bstrName, BSTR* pbstrValue) = 0;

 protected:
  ~IWorkListParam() = default;
};

// One data item of a visit by dotted key (the QC grade summary's main diagnosis).
inline constexpr IID IID_IVisitData =
    korvalis::com::MakeGuid("EDB549A8-FA53-4EA2-BAD6-53BB3485E190");

struct IVisitData : IDispatch {
  // Replaces *pbstrValue by the item's value; leaves it alone when the visit has no such item.
  virtual HRESULT GetVisitData(BSTR bstrPatientID, BSTR bstrEventNo, int32_t lngDomain,
                               BSTR bstrKey, BSTR* pbstrValue) = 0;

 protected:
  ~IVisitData() = default;
};
