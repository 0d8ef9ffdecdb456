#include "report/repository.h"

#include "foundation/not_available.h"

long CBRepository::SetVktCatalog(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::SetVktCatalog");
}

long CBRepository::DelVktCatalog(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::DelVktCatalog");
}

long CBRepository::GetVktCatalogList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktCatalogList");
}

long CBRepository::SetVktItem(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::SetVktItem");
}

long CBRepository::DelVktItem(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::DelVktItem");
}

long CBRepository::GetVktItemList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktItemList");
}

long CBRepository::SetVktStructure(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::SetVktStructure");
}

long CBRepository::DelVktStructure(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::DelVktStructure");
}

long CBRepository::GetVktStructure(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktStructure");
}

long CBRepository::SetVktElement(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::SetVktElement");
}

long CBRepository::DelVktElement(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::DelVktElement");
}

long CBRepository::GetVktElementList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktElementList");
}

long CBRepository::GetVktDistriCatalog(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktDistriCatalog");
}

long CBRepository::AddVktDistriCatalog(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::AddVktDistriCatalog");
}

long CBRepository::DelVktDistriCatalog(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::DelVktDistriCatalog");
}

long CBRepository::GetVktRfConfig(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktRfConfig");
}

long CBRepository::SetVktRfConfig(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::SetVktRfConfig");
}

long CBRepository::DelVktRfConfig(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBRepository::DelVktRfConfig");
}

long CBRepository::GetVktCatalogListByDept(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBRepository::GetVktCatalogListByDept");
}
