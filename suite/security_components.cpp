// The security component and the user-property component: users, their properties and their
// passwords from the staff tables of the database that the configuration file names.
//
// A user's property document holds name, sex, py, wb, techtitle, dutytitle, identity and
// admin ("1" for SUPER_LEVEL 8 or 9). A password passes when the user and the member of staff
// are valid, the password's validity window holds the current time, and the stored digest is
// the MD5 digest of the password's UTF-16LE bytes in upper-case hexadecimal.
#include <memory>
#include <string>

#include "foundation/codec/emr_encryption.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/bstr.h"
#include "platform/db/connection_pool.h"
#include "platform/text/unicode.h"
#include "suite/components.h"
#include "suite/reserved_slots.h"
#include "suite/stand_in.h"
#include "suite/suite_config.h"

namespace korvalis::suite {
namespace {

// The staff tables of the configured database, one connection per lookup.
class StaffDirectory {
 public:
  StaffDirectory() : config_(SuiteConfig::Load()) {
    if (config_->database.empty()) {
      throw CEMRException("组件配置文件没有数据库连接: " + config_->path);
    }
    connection_ = db::ConnectionPools::Acquire(config_->database);
  }

  // The first column of the first row, or nullopt without a row.
  std::optional<std::u16string> QueryValue(const std::u16string& sql) {
    std::unique_ptr<db::Rowset> rows = connection_->Execute(ToUtf8(sql));
    if (!rows->Next()) return std::nullopt;
    return FromUtf8(rows->Text(0));
  }

  std::u16string UserIdByLoginCode(std::u16string_view login_code) {
    return QueryValue(u"SELECT ID FROM TELV_USER_TABLE" +
                      SqlKey().Equals(u"USER_CODE", login_code).And(u"VALID_FLAG = '1'").Where())
        .value_or(u"");
  }

  // The property document, or an empty text for a user the tables do not know.
  std::u16string UserProperty(std::u16string_view user_id) {
    std::unique_ptr<db::Rowset> rows = connection_->Execute(ToUtf8(
        u"SELECT S.NAME, S.SEX, S.PY_CODE, S.WB_CODE, S.TITLE_ID, S.DUTY_ID, S.WORK_KIND, "
        u"U.SUPER_LEVEL FROM TELV_STAFF_DICT S LEFT JOIN TELV_USER_TABLE U ON U.ID = S.ID" +
        SqlKey().Equals(u"S.ID", user_id).And(u"S.VALID_FLAG = '1'").Where()));
    if (!rows->Next()) return u"";
    auto text = [&rows](int column) {
      return XmlEscapedWithQuotes(FromUtf8(rows->Text(column)));
    };
    std::u16string level = FromUtf8(rows->Text(7));
    return u"<root><admin>" + std::u16string(level == u"8" || level == u"9" ? u"1" : u"0") +
           u"</admin><dutytitle>" + text(5) + u"</dutytitle><identity>" + text(6) +
           u"</identity><name>" + text(0) + u"</name><py>" + text(2) + u"</py><sex>" + text(1) +
           u"</sex><techtitle>" + text(4) + u"</techtitle><wb>" + text(3) + u"</wb></root>";
  }

  bool CheckPassword(std::u16string_view login_code, std::u16string_view password) {
    std::optional<std::u16string> stored = QueryValue(
        u"SELECT U.PASSWORD FROM TELV_USER_TABLE U, TELV_STAFF_DICT S" +
        SqlKey()
            .And(u"U.ID = S.ID")
            .Equals(u"U.USER_CODE", login_code)
            .And(u"U.VALID_FLAG = '1' AND S.VALID_FLAG = '1' AND U.PWD_VALID_DATE <= SYSDATE "
                 u"AND SYSDATE <= U.PWD_EXPIRE_DATE")
            .Where());
    return stored && *stored == PasswordDigest(password);
  }

 private:
  static std::u16string PasswordDigest(std::u16string_view password) {
    std::string bytes;
    AppendUtf16Le(password, bytes);
    BYTE* digest = nullptr;
    ULONG length = 0;
    CMD5Encryption().Encrypt(reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<ULONG>(bytes.size()), digest, length);
    std::unique_ptr<BYTE[]> owned(digest);
    std::u16string text;
    for (ULONG i = 0; i < length && digest[i] != 0; ++i) text.push_back(digest[i]);
    return text;
  }

  std::shared_ptr<const SuiteConfig> config_;
  db::PooledConnection connection_;
};

class SecurityComponent : public SecurityServiceStandIn {
 public:
  HRESULT GetUserIdByLoginCode(BSTR bstrLoginCode, BSTR* pbstrUserID) override {
    return Serve([&] {
      return Answer(pbstrUserID, StaffDirectory().UserIdByLoginCode(BstrView(bstrLoginCode)));
    });
  }
  HRESULT GetUserProperty(BSTR bstrUserID, BSTR* pbstrProperty) override {
    return Serve([&] {
      return Answer(pbstrProperty, StaffDirectory().UserProperty(BstrView(bstrUserID)));
    });
  }
  HRESULT CheckPassword(BSTR bstrLoginCode, BSTR bstrPassword, VARIANT_BOOL* pvbPass) override {
    return Serve([&] {
      if (pvbPass == nullptr) return E_POINTER;
      *pvbPass = StaffDirectory().CheckPassword(BstrView(bstrLoginCode), BstrView(bstrPassword))
                     ? VARIANT_TRUE
                     : VARIANT_FALSE;
      return S_OK;
    });
  }
};

// Unlike the security component, an unknown user answers an empty property document, whose
// `name` reads as an empty text.
class UserPropertyComponent : public StandIn<IUserProperty, IID_IUserProperty> {
 public:
  HRESULT GetUserProperty(BSTR bstrUserID, BSTR* pbstrProperty) override {
    return Serve([&] {
      std::u16string property = StaffDirectory().UserProperty(BstrView(bstrUserID));
      return Answer(pbstrProperty, property.empty() ? u"<root/>" : property);
    });
  }
};

}  // namespace

HRESULT CreateSecurityComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<SecurityComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

HRESULT CreateUserPropertyComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<UserPropertyComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                 ppv);
}

}  // namespace korvalis::suite
