#include "quality/review/qc_patient.h"

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBQCPatient::FeedBackRectifyInfo(CEMRDataSource*, BSTR, BSTR) { return 0; }
