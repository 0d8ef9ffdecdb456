// The login check of the record library's search (CBEMRLibrary::IsPass): a login code must be a
// search user of MOLB_USER without a password of its own; its password is then tested by the
// suite's security component, by the EMR user tables (with the password's validity window) and
// by the site's master password, the digest held in the system parameter `system_peeper`.
// Nothing is written, counted or logged.
//
// A password digest is the MD5 digest of the password's UTF-16LE bytes (two bytes a character,
// no terminator) as 32 upper-case hexadecimal digits.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;

// The message of a right password outside its validity window.
inline constexpr char16_t kPasswordExpiredMessage[] =
    u"密码已过期, 无法登录, 请联系管理员重新设置密码有效期!";

// The three checks, in order, each ending the check when it passes: the security component (its
// creation or call failing counts as a refusal, its error information dropped), then
// CheckLocalPassword (whose expiry failure is thrown), then the master digest when
// `system_peeper` is set. *pvbPass is VARIANT_TRUE or VARIANT_FALSE. Returns 0.
long IsPassword(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                VARIANT_BOOL* pvbPass);

// The check against the EMR user tables: the login code's member of staff must be valid
// (VALID_FLAG "1") and the stored digest must equal the password's exactly. Throws
// kPasswordExpiredMessage when they do but the date of the database server is outside the
// password's validity window (both ends included; a NULL end is outside); *pvbPass is then left
// VARIANT_FALSE, as it is for every refusal. Returns 0.
long CheckLocalPassword(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                        VARIANT_BOOL* pvbPass);

// The digest of the password (a null BSTR is the empty password).
std::u16string GetPasswordDigest(BSTR bstrPassCode);
