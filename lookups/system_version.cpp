#include "lookups/system_version.h"

#include <string>

#include "foundation/calls/bstr_result.h"
#include "foundation/text/string_util.h"
#include "lookups/sys_param.h"

namespace korvalis::lookups {

std::u16string ComposeVersionStamp(const sys::ProductVersion& version) {
  std::u16string build = IntToString(version.build);
  if (build.size() < 4) build.insert(0, 4 - build.size(), u'0');
  return IntToString(version.major) + u"." + IntToString(version.minor) + u"." + build + u"." +
         IntToString(version.revision);
}

std::u16string VersionStamp::Get(CSingleDataSource& data_source) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stamp_.empty()) return stamp_;
  }
  std::u16string read = GetSysParam(data_source, u"system_version");
  if (read.empty()) read = fallback_;
  std::lock_guard<std::mutex> lock(mutex_);
  if (stamp_.empty()) stamp_ = std::move(read);
  return stamp_;
}

}  // namespace korvalis::lookups

long GetSystemVersion(CSingleDataSource* pDataSource, BSTR* pbstrVersion) {
  using korvalis::lookups::VersionStamp;
  static VersionStamp& stamp = *new VersionStamp(
      korvalis::lookups::ComposeVersionStamp(korvalis::sys::LibraryProductVersion()));
  korvalis::StoreBstrResult(pbstrVersion, stamp.Get(*pDataSource));
  return 0;
}
