#include "archive/login_check.h"

#include <memory>
#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/codec/emr_encryption.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/suite_interfaces.h"
#include "lookups/sys_param.h"

namespace {

using korvalis::SqlKey;

void StoreVerdict(VARIANT_BOOL* pvbPass, bool pass) {
  if (pvbPass != nullptr) *pvbPass = pass ? VARIANT_TRUE : VARIANT_FALSE;
}

// Whether the suite's security component accepts the password. A component that cannot be made
// or whose call fails refuses: the failure is dropped together with the error information it
// left on the thread.
bool SecurityAccepts(BSTR login_code, BSTR password) {
  try {
    korvalis::Sibling<ISecurityService> security(*DIDUFactory::Instance(), IID_ISecurityService);
    VARIANT_BOOL verdict = VARIANT_FALSE;
    if (SUCCEEDED(security->CheckPassword(login_code, password, &verdict))) {
      return verdict != VARIANT_FALSE;
    }
  } catch (const CEMRException&) {
  }
  CEMRRemoteError().GetError();
  return false;
}

// Whether the password's digest is the master digest of `system_peeper` (not set: no master
// password).
bool IsMasterPassword(CSingleDataSource& data_source, BSTR password) {
  const std::u16string master = GetSysParam(data_source, u"system_peeper");
  if (master.empty()) return false;
  try {
    return GetPasswordDigest(password) == master;
  } catch (const CEMRException&) {
    return false;
  }
}

}  // namespace

long CBEMRLibrary::IsPass(CEMRDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                          VARIANT_BOOL* pvbPass) {
  StoreVerdict(pvbPass, false);
  // Only a search user without a password of its own (NULL, empty or blanks) may log in.
  std::vector<std::u16string> user;
  pDataSource->Query(
      u"SELECT ID, TRIM(PASSWORD) FROM MOLB_USER" + SqlKey().Equals(u"CODE", bstrLoginCode).Where(),
      2, user);
  if (user.size() >= 2 && user[1].empty()) {
    IsPassword(pDataSource, bstrLoginCode, bstrPassCode, pvbPass);
  }
  return 0;
}

long IsPassword(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                VARIANT_BOOL* pvbPass) {
  StoreVerdict(pvbPass, false);
  if (SecurityAccepts(bstrLoginCode, bstrPassCode)) {
    StoreVerdict(pvbPass, true);
    return 0;
  }
  VARIANT_BOOL local = VARIANT_FALSE;
  CheckLocalPassword(pDataSource, bstrLoginCode, bstrPassCode, &local);
  StoreVerdict(pvbPass, local != VARIANT_FALSE || IsMasterPassword(*pDataSource, bstrPassCode));
  return 0;
}

long CheckLocalPassword(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                        VARIANT_BOOL* pvbPass) {
  StoreVerdict(pvbPass, false);
  std::u16string staff_flag;
  pDataSource->QueryScalar(
      u"SELECT T.VALID_FLAG FROM TELV_STAFF_DICT T, TELV_USER_TABLE U" +
          SqlKey().And(u"U.ID = T.ID").Equals(u"U.USER_CODE", bstrLoginCode).Where(),
      staff_flag);
  const SqlKey user = SqlKey().Equals(u"USER_CODE", bstrLoginCode);
  if (staff_flag != u"1") return 0;
  std::u16string stored;
  pDataSource->QueryScalar(u"SELECT PASSWORD FROM TELV_USER_TABLE" + user.Where(), stored);
  // Compared as stored: not trimmed, case-sensitive.
  if (stored != GetPasswordDigest(bstrPassCode)) return 0;
  std::u16string in_window;
  pDataSource->QueryScalar(
      u"SELECT PASSWORD FROM TELV_USER_TABLE" +
          SqlKey(user).And(u"PWD_VALID_DATE <= SYSDATE AND SYSDATE <= PWD_EXPIRE_DATE").Where(),
      in_window);
  // The window is checked before the verdict is given, so that a caller that reads the result
  // despite the failure never finds a pass.
  if (in_window.empty()) throw CEMRException(kPasswordExpiredMessage);
  StoreVerdict(pvbPass, true);
  return 0;
}

std::u16string GetPasswordDigest(BSTR bstrPassCode) {
  BYTE* digest = nullptr;
  ULONG length = 0;
  CMD5Encryption().Encrypt(reinterpret_cast<const BYTE*>(bstrPassCode),
                           SysStringByteLen(bstrPassCode), digest, length);
  const std::unique_ptr<BYTE[]> owned(digest);
  // The hexadecimal digits end at the zero byte.
  std::u16string text;
  for (ULONG i = 0; i < length && digest[i] != 0; ++i) text.push_back(digest[i]);
  return text;
}
