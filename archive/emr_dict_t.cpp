#include "archive/emr_dict_t.h"

#include "foundation/not_available.h"

long CBEMRDictT::NewDict(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRDictT::NewDict");
}

long CBEMRDictT::GetDictByDictName(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRDictT::GetDictByDictName");
}

long CBEMRDictT::SetDictContent(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRDictT::SetDictContent");
}

long CBEMRDictT::GetDictContent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRDictT::GetDictContent");
}

long CBEMRDictT::GetDataList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRDictT::GetDataList");
}

long CBEMRDictT::GetDictList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRDictT::GetDictList");
}

long CBEMRDictT::DeleteDictByName(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRDictT::DeleteDictByName");
}

long CBEMRDictT::SetDictName(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRDictT::SetDictName");
}
