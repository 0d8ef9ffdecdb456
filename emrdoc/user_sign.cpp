#include "emrdoc/user_sign.h"

#include <utility>

#include "foundation/data/emr_data_source.h"
#include "foundation/xml/xml_property.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

CUserNameSignServer::CUserNameSignServer(std::u16string user_id)
    : CEMRUserSign(user_id), user_id_(std::move(user_id)) {}

CUserNameSignServer::~CUserNameSignServer() = default;

std::u16string CUserNameSignServer::Sign(const std::u16string&) { return UserName(); }

bool CUserNameSignServer::Verify(const std::u16string&, const std::u16string& signature) {
  return UserName() == signature;
}

long CUserNameSignServer::GetSignType() { return 0; }

std::u16string CUserNameSignServer::UserName() const {
  CEMRDataSource data_source;
  korvalis::com::ScopedBstr user_id(user_id_);
  korvalis::com::ScopedBstr property;
  GetUserPropertyById(&data_source, user_id.get(), property.out());
  return CXmlProperty(property.text()).GetValue(u"name");
}
