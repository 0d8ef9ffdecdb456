#include "emrdoc/diagnosis_tree.h"

#include <optional>
#include <string>
#include <vector>

#include "emrdoc/emr_content_document.h"
#include "emrdoc/std_data_set.h"
#include "emrdoc/std_diagnosis_config.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/text/string_util.h"
#include "lookups/visit_lookups.h"

namespace {

using korvalis::emrdoc::DiagnosisConfig;

constexpr char16_t kDiagnosisPrefix[] = u"DIAGNOSIS_DIRECTION||DIAGNOSIS_POSITION||";

}  // namespace

void GetDiagnosisTree(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                      BSTR bstrNodeID, BSTR* pbstrAnswer) {
  const std::u16string node_id(korvalis::BstrView(bstrNodeID));
  std::vector<std::u16string> id_pieces;
  SplitByChars(node_id, kSerialSeparator, id_pieces);
  const std::optional<korvalis::emrdoc::NodeDefinition> definition =
      korvalis::emrdoc::ReadNodeDefinition(*pDataSource, node_id);
  if (!definition) return;
  const std::vector<std::u16string> type_pieces = definition->QualifierIds();
  if (type_pieces.empty() || id_pieces.size() != type_pieces.size() + 1) return;
  const auto config = korvalis::emrdoc::ProcessDiagnosisConfig().Load();
  const DiagnosisConfig unconfigured;
  const DiagnosisConfig& diagnosis = config != nullptr ? *config : unconfigured;

  korvalis::SqlKey diagnosis_key = VisitKey(bstrPatientID, bstrEventNo);
  diagnosis_key.And(u"STATUS = 1");
  bool outcome_asked = false;
  bool serial_qualified = false;
  for (std::size_t i = 0; i < type_pieces.size(); ++i) {
    const std::u16string& type = type_pieces[i];
    const std::u16string& value = id_pieces[i + 1];
    serial_qualified |= DiagnosisConfig::Names(diagnosis.serial_id, type);
    if (DiagnosisConfig::Names(diagnosis.outcome_type_id, type)) {
      diagnosis_key.Equals(u"OUTCOME", value);
      outcome_asked = true;
    } else {
      diagnosis_key.Equals(diagnosis.AttributeColumn(type), value);
    }
  }

  CEMRDataSource diagnoses;
  const bool name = DiagnosisConfig::Names(diagnosis.name_id, id_pieces.front());
  if (!serial_qualified && name) {
    diagnoses.QueryElements(
        u"SELECT DIAGNOSIS_DIRECTION||DIAGNOSIS_POSITION||DIAGNOSIS_NAME, ID, PARENT_ID  FROM "
        u"TELV_PATIENT_DIAGNOSIS" +
            diagnosis_key.Where() + u" ORDER BY SUB_ID",
        {u"diag", u"id", u"parent"}, pbstrAnswer);
    return;
  }
  const std::u16string column =
      (name ? kDiagnosisPrefix : u"") + diagnosis.PartColumn(id_pieces.front());
  std::u16string value;
  diagnoses.QueryScalar(u"SELECT " + column + u" FROM TELV_PATIENT_DIAGNOSIS" +
                            diagnosis_key.Where() + u" ORDER BY SUB_ID",
                        value);
  korvalis::StoreBstrResult(pbstrAnswer,
                            outcome_asked && !value.empty() ? diagnosis.outcome_flag : value);
}
