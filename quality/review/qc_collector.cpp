#include "quality/review/qc_collector.h"

#include "foundation/not_available.h"

long CBQCCollector::GetPatientQCList(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetPatientQCList");
}

long CBQCCollector::GetQCList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetQCList");
}

long CBQCCollector::GetQCResultInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetQCResultInfo");
}
