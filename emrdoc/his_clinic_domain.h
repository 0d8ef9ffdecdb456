// CBHisClinicDomain: the domain of code 7, "his.clinic.*": the out-patient visit as the HIS
// clinic component answers it, read once from four answers, all asked before any is read:
//
//   answer (IHISClinicInfo)  keys
//   GetDiagInfo              his.clinic.diag.name: the text of each element child of the
//                            document element followed by "</p>", joined ("A</p>B</p>"; the
//                            empty text without children). The HIS text is kept as markup.
//   GetRecipeInfo            his.clinic.recipeinfo.char, .table, .a, .b, .c, .d: the
//                            prescription tables (emrdoc/recipe_rendering.h)
//   GetExamineInfo           his.clinic.examine.<name>: the text of each element child of the
//                            document element, by its name as written (the later of two wins)
//   GetRegInfo               his.clinic.patient.caseon: the text of the document element's
//                            first `caseno` child (the key is spelt "caseon")
//
// The answers are read in the order registration, examination, diagnosis, prescriptions. An
// answer that does not parse gives no keys of its own; a diagnosis answer that does not parse
// also ends the reading before the prescriptions.
//
// Failures: a component that cannot be created, or any failed call, is not raised: its message
// becomes the description of the thread's error information, nothing is stored, and every key
// answers empty for the life of the registry. A configured prescription stylesheet whose
// parameter is not XML ("无效XML!") or names no template (the template reader's message) fails
// the lookup once the other keys are stored; the prescription keys then answer empty.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include "emrdoc/emr_domain.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

class CBHisClinicDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  // The data source reads the prescription stylesheet; it must not be null.
  void Load(CSingleDataSource* pDataSource) override;

 private:
  // Stores the six prescription texts of the answer `recipe`, whose document element is `root`.
  void LoadRecipeInfo(CSingleDataSource* pDataSource, const xercesc::DOMElement* root, BSTR recipe);
};
