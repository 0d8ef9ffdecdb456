#include "emrdoc/system_domain.h"

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_property.h"
#include "lookups/sys_param.h"
#include "lookups/visit_lookups.h"

using korvalis::PropertyBag;
using korvalis::com::ScopedBstr;

CBSystemDomain::CBSystemDomain(BSTR bstrPatientID, BSTR bstrEventNo)
    : patient_id_(korvalis::BstrView(bstrPatientID)), event_no_(korvalis::BstrView(bstrEventNo)) {}

std::u16string CBSystemDomain::GetValue(CSingleDataSource* pDataSource,
                                        const std::u16string& strKey) {
  if (strKey == u"system.hospital") return HospitalName(pDataSource);
  if (strKey == u"system.datetime") return GetSystemDateTimeString(pDataSource);
  return u"";
}

std::u16string CBSystemDomain::HospitalName(CSingleDataSource* pDataSource) {
  try {
    ScopedBstr dept_id;
    GetNowDeptId(pDataSource, patient_id_.get(), event_no_.get(), dept_id.out());

    ScopedBstr dept_info;
    {
      korvalis::Sibling<IHISDepartment> department(*DIDUFactory::Instance(), IID_IHISDepartment);
      department->GetDeptInfo(dept_id.get(), dept_info.out());
    }
    const ScopedBstr hospital_id(PropertyBag(dept_info.get()).GetValue(u"hospital"));

    ScopedBstr hospital_info;
    {
      korvalis::Sibling<IHISHospital> hospital(*DIDUFactory::Instance(), IID_IHISHospital);
      hospital->GetHospitalInfo(hospital_id.get(), hospital_info.out());
    }
    return PropertyBag(hospital_info.get()).GetValue(u"name");
  } catch (const CEMRException& e) {
    CEMRRemoteError().SetError(e.GetText());
    return u"";
  }
}
