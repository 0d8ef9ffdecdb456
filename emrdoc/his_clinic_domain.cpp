#include "emrdoc/his_clinic_domain.h"

#include <optional>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "emrdoc/recipe_rendering.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/scoped_bstr.h"

using korvalis::com::ScopedBstr;
using xercesc::DOMElement;

void CBHisClinicDomain::Load(CSingleDataSource* pDataSource) {
  ScopedBstr diagnosis_reply, recipe_reply, examination_reply, registration_reply;
  try {
    korvalis::Sibling<IHISClinicInfo> his(*DIDUFactory::Instance(), IID_IHISClinicInfo);
    CheckSiblingCall(his->GetDiagInfo(patient_id(), event_no(), diagnosis_reply.out()));
    CheckSiblingCall(his->GetRecipeInfo(patient_id(), event_no(), recipe_reply.out()));
    CheckSiblingCall(his->GetExamineInfo(patient_id(), event_no(), examination_reply.out()));
    CheckSiblingCall(his->GetRegInfo(patient_id(), event_no(), registration_reply.out()));
  } catch (const CEMRException& failure) {
    CEMRRemoteError().SetError(failure.GetText());
    return;
  }

  const CHISAnswer registration(registration_reply.get());
  if (const DOMElement* caseno = FirstChildElement(registration.GetRoot(), u"caseno")) {
    Store(u"his.clinic.patient.caseon", TextContent(caseno));
  }

  const CHISAnswer examination(examination_reply.get());
  for (const DOMElement* finding : ElementChildren(examination.GetRoot())) {
    Store(u"his.clinic.examine." + ElementName(finding), TextContent(finding));
  }

  const CHISAnswer diagnoses(diagnosis_reply.get());
  if (diagnoses.GetRoot() == nullptr) return;
  std::u16string names;
  for (const DOMElement* diagnosis : ElementChildren(diagnoses.GetRoot())) {
    names += TextContent(diagnosis) + u"</p>";
  }
  Store(u"his.clinic.diag.name", std::move(names));

  const CHISAnswer recipe(recipe_reply.get());
  if (recipe.GetRoot() == nullptr) return;
  LoadRecipeInfo(pDataSource, recipe.GetRoot(), recipe_reply.get());
}

void CBHisClinicDomain::LoadRecipeInfo(CSingleDataSource* pDataSource, const DOMElement* root,
                                       BSTR recipe) {
  RecipeTables tables = RenderRecipeTables(root, TransformRecipe(*pDataSource, recipe));
  Store(u"his.clinic.recipeinfo.char", std::move(tables.wide));
  Store(u"his.clinic.recipeinfo.table", std::move(tables.summary));
  Store(u"his.clinic.recipeinfo.a", std::move(tables.a));
  Store(u"his.clinic.recipeinfo.b", std::move(tables.b));
  Store(u"his.clinic.recipeinfo.c", std::move(tables.c));
  Store(u"his.clinic.recipeinfo.d", std::move(tables.short_table));
}
