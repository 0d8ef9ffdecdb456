#include "emrdoc/patient_info_domain.h"

#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "emrdoc/patient_base_info.h"
#include "foundation/xml/dom_elements.h"
#include "platform/com/scoped_bstr.h"

namespace {

constexpr char16_t kKeyPrefix[] = u"patient.";

struct Marriage {
  const char16_t* code;
  const char16_t* text;
  const char16_t* header;
};
constexpr Marriage kMarriages[] = {
    {u"0", u"未婚", u"1"}, {u"1", u"已婚", u"2"}, {u"2", u"离婚", u"3"},
    {u"3", u"丧偶", u"4"}, {u"9", u"其他", u"9"},
};

}  // namespace

void CBPatientInfoDomain::Load(CSingleDataSource* pDataSource) {
  korvalis::com::ScopedBstr document;
  if (BuildPatientBaseInfoXml(pDataSource, patient_id(), event_no(), document.out()) < 0) return;

  CHISAnswer base_info(document.get());
  std::u16string sex;
  std::u16string marriage;
  for (const xercesc::DOMElement* element : ElementChildren(base_info.GetRoot())) {
    const std::u16string name = ElementName(element);
    std::u16string text = TextContent(element);
    if (name == u"sex") sex = text;
    if (name == u"marriage") marriage = text;
    Store(kKeyPrefix + name, std::move(text));
  }

  const bool male = sex == u"1";
  Store(u"patient.sex", male ? u"男" : u"女");
  Store(u"patient.sex.header", male ? u"1" : u"2");

  std::u16string marriage_text;
  std::u16string marriage_header;
  for (const Marriage& known : kMarriages) {
    if (marriage == known.code) {
      marriage_text = known.text;
      marriage_header = known.header;
      break;
    }
  }
  Store(u"patient.marriage", std::move(marriage_text));
  Store(u"patient.marriage.header", std::move(marriage_header));
}
