#include "archive/archive_report.h"

#include "foundation/not_available.h"

long CBArchiveReport::GetInDeptList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchiveReport::GetInDeptList");
}

long CBArchiveReport::GetWriterInfoList(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchiveReport::GetWriterInfoList");
}
