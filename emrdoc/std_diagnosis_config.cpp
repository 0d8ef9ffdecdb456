#include "emrdoc/std_diagnosis_config.h"

#include <utility>
#include <vector>

#include "emrdoc/emr_content_document.h"
#include "emrdoc/std_data_set.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "lookups/sys_param.h"

namespace korvalis::emrdoc {

namespace {

constexpr char16_t kConfigParameter[] = u"system_std_diagnosis";

// Maps the id in the text of `section`/`element` to `column`; an empty id names nothing.
std::u16string MapId(CXmlNode& section, const char16_t* element, const char16_t* column,
                     std::map<std::u16string, std::u16string>& table) {
  std::u16string id = section.GetChild(element).GetText();
  if (!id.empty()) table[id] = column;
  return id;
}

std::u16string FindColumn(const std::map<std::u16string, std::u16string>& table,
                          const std::u16string& id) {
  const auto found = table.find(id);
  return found == table.end() ? std::u16string() : found->second;
}

}  // namespace

std::u16string DiagnosisConfig::PartColumn(const std::u16string& id) const {
  return FindColumn(part_columns, id);
}

std::u16string DiagnosisConfig::AttributeColumn(const std::u16string& id) const {
  return FindColumn(attribute_columns, id);
}

DiagnosisConfig ParseDiagnosisConfig(const std::u16string& xml) {
  CXmlDocument document(xml, false, false);  // writable: a missing element reads as empty
  CXmlNode root = document.GetRootNode();
  CXmlNode part = root.GetChild(u"part");
  CXmlNode attribute = root.GetChild(u"attribute");
  DiagnosisConfig config;
  config.name_id = MapId(part, u"diag_name", u"DIAGNOSIS_NAME", config.part_columns);
  MapId(part, u"diag_icd", u"ICD_CODE", config.part_columns);
  MapId(part, u"outcome", u"OUTCOME", config.part_columns);
  MapId(part, u"diag_time", u"DIAG_TIME", config.part_columns);
  config.outcome_flag = part.GetChild(u"outcome").GetAttribute(u"flag");
  MapId(attribute, u"diag_class", u"DIAG_CLASS", config.attribute_columns);
  MapId(attribute, u"diag_type", u"DIAG_TYPE", config.attribute_columns);
  config.serial_id = MapId(attribute, u"diag_serial", u"SUB_ID", config.attribute_columns);
  config.outcome_type_id =
      MapId(attribute, u"outcome_type", u"OUTCOME_TYPE", config.attribute_columns);
  return config;
}

std::shared_ptr<const DiagnosisConfig> StdDiagnosisConfig::Load() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_ != nullptr) return config_;
  }
  std::u16string parameter;
  {
    CEMRDataSource data_source;
    parameter = GetSysParam(data_source, kConfigParameter);
  }
  if (parameter.empty()) return nullptr;
  auto read = std::make_shared<const DiagnosisConfig>(ParseDiagnosisConfig(parameter));
  std::lock_guard<std::mutex> lock(mutex_);
  if (config_ == nullptr) config_ = std::move(read);
  return config_;
}

void StdDiagnosisConfig::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  config_ = nullptr;
}

StdDiagnosisConfig& ProcessDiagnosisConfig() {
  static StdDiagnosisConfig& config = *new StdDiagnosisConfig;
  return config;
}

std::u16string FirstIdPiece(const std::u16string& id) {
  std::vector<std::u16string> pieces;
  SplitByChars(id, kSerialSeparator, pieces);
  return pieces.empty() ? std::u16string() : std::move(pieces.front());
}

}  // namespace korvalis::emrdoc

void LoadStdDiagnosisConfig() { korvalis::emrdoc::ProcessDiagnosisConfig().Load(); }

bool IsDiagnosisPartId(BSTR bstrID) {
  const auto config = korvalis::emrdoc::ProcessDiagnosisConfig().Load();
  if (config == nullptr) return false;
  const std::u16string first =
      korvalis::emrdoc::FirstIdPiece(std::u16string(korvalis::BstrView(bstrID)));
  return !first.empty() && config->part_columns.count(first) != 0;
}

bool IsDiagnosisNameId(BSTR bstrID) {
  const auto config = korvalis::emrdoc::ProcessDiagnosisConfig().Load();
  if (config == nullptr) return false;
  return korvalis::emrdoc::DiagnosisConfig::Names(
      config->name_id, korvalis::emrdoc::FirstIdPiece(std::u16string(korvalis::BstrView(bstrID))));
}

bool IsDiagnosisSerialNode(BSTR bstrID) {
  using korvalis::emrdoc::DiagnosisConfig;
  const auto config = korvalis::emrdoc::ProcessDiagnosisConfig().Load();
  if (config == nullptr || korvalis::BstrView(bstrID).empty()) return false;
  CEMRDataSource data_source;
  const std::optional<korvalis::emrdoc::NodeDefinition> definition =
      korvalis::emrdoc::ReadNodeDefinition(data_source, std::u16string(korvalis::BstrView(bstrID)));
  if (!definition) return false;
  for (const std::u16string& qualifier : definition->QualifierIds()) {
    if (DiagnosisConfig::Names(config->serial_id, qualifier)) return true;
  }
  return false;
}
