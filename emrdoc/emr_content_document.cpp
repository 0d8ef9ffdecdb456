#include "emrdoc/emr_content_document.h"

#include "foundation/xml/emr_element.h"
#include "foundation/text/string_util.h"

std::u16string ElementIdentifier(IHTMLElement* element) {
  std::u16string identifier = GetElementAttribute(element, kAttrInternalRelativeId);
  if (identifier.empty() && element != nullptr) identifier = element->id();
  return identifier;
}

std::u16string NumberedId(std::u16string_view data_element_id, long serial) {
  return std::u16string(data_element_id) + kSerialSeparator + LongToString(serial);
}

std::u16string DataElementOfId(std::u16string_view id) {
  return std::u16string(id.substr(0, id.find(kSerialSeparator)));
}

std::optional<std::vector<std::u16string>> ReadLiveLinks(const IHTMLDocument2& document) {
  const IHTMLElement* live = document.GetElementById(kLiveElementId);
  if (live == nullptr) return std::nullopt;
  const std::u16string* link = live->FindAttribute(kAttrLink);
  if (link == nullptr) return std::nullopt;
  std::vector<std::u16string> ids;
  SplitByChars(*link, kListSeparator, ids);
  return ids;
}

std::optional<DomainBinding> ReadDomainBinding(IHTMLElement* element) {
  const std::u16string type = GetElementAttribute(element, kAttrType);
  if (type.empty()) return std::nullopt;  // most elements of a page: no second read
  std::u16string key = GetElementAttribute(element, kAttrValue);
  if (key.empty()) return std::nullopt;
  return DomainBinding{StringToInt(type), std::move(key)};
}

std::optional<std::u16string> PromptPlaceholder(IHTMLElement* element) {
  std::vector<std::u16string> parts;
  SplitByChars(GetElementAttribute(element, kAttrPrompt), kListSeparator, parts);
  if (parts.size() != 2) return std::nullopt;
  return std::move(parts[1]);
}

RevisionMark ReadRevisionMark(IHTMLElement* element) {
  if (element == nullptr || element->tagName() != u"SPAN") return RevisionMark::kNone;
  const std::u16string mark = GetElementAttribute(element, kAttrClassName);
  if (mark.find(u"DELETE") != std::u16string::npos) return RevisionMark::kDeleted;
  if (mark.find(u"INSERT") != std::u16string::npos) return RevisionMark::kInserted;
  return RevisionMark::kNone;
}
