// The system's shared settings as the record layer and the other subsystems read them: the
// parameters of TELV_SYS_PARAM, the version stamp that every new record carries, and the "now"
// of every record written.
//
// Thread-safety: GetSysParam and GetSystemDateTimeString keep nothing between calls. The version
// stamp is process-wide and filled safely by concurrent first calls (see system_version.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;

// The VALUE of the TELV_SYS_PARAM row named `bstrName`, read afresh on every call, as a new BSTR
// stored through `pbstrValue` (nothing when it is null). A null or zero-length name runs no
// statement; no row, or a NULL VALUE, gives a zero-length BSTR, never a null one: a parameter
// that is not configured is no failure. Of several rows of one name the first returned wins.
// Returns 0; database failures are thrown as the data source reports them.
long GetSysParam(CSingleDataSource* pDataSource, BSTR bstrName, BSTR* pbstrValue);
// The same as a wide text, for callers in C++.
std::u16string GetSysParam(CSingleDataSource& data_source, std::u16string_view name);

// The version stamp of new records as a new BSTR: the parameter `system_version` when it is set,
// otherwise the library's product version as "major.minor.build.revision" with the build padded
// to four digits (3.1.7.12 gives 3.1.0007.12). Fixed for the life of the process by the first
// call that succeeds; a later change of the parameter is not seen. Returns 0; a failing
// parameter read is thrown and leaves the stamp to the next call.
long GetSystemVersion(CSingleDataSource* pDataSource, BSTR* pbstrVersion);

// The current date and time of the suite ("YYYY-MM-DD HH:MM:SS", GetSystemDateTime of the record
// library), the "now" of every record written. Its failures reach the caller unchanged.
std::u16string GetSystemDateTimeString(CSingleDataSource* pDataSource);
