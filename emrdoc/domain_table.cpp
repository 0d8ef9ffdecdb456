#include "emrdoc/domain_table.h"

#include "emrdoc/patient_info_domain.h"
#include "emrdoc/residence_domain.h"

const DomainTable& SystemDomainTable() {
  static constexpr DomainTable kTable = {
      .fixed = {{
          {kPatientInfoDomainCode, CreateFixedDomain<CBPatientInfoDomain>},
          {kResidenceDomainCode, CreateFixedDomain<CBResidenceDomain>},
          {2, nullptr},                  // CBHISDiagnosisDomain
          {3, nullptr},                  // CBHISOperationDomain
          {4, nullptr},                  // CBHISFeeDomain
          {5, nullptr},                  // CBResidenceEMRDomain
          {9, nullptr},                  // CBSystemDomain
          {7, nullptr},                  // CBHisClinicDomain
          {8, nullptr},                  // CBFirstRecordDomain
          {kExtendDomainCode, nullptr},  // CBExtendDomain
          {11, nullptr},                 // CBOperationDomain
          {12, nullptr},                 // CBTemperatureDomain
          {13, nullptr},                 // CBPatientCrisisDomain
      }},
      .emr_type = nullptr,  // CBEMRTypeDomain
  };
  return kTable;
}
