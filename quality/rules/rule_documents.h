// The documents that the time-limit rule bodies read: the event document of a clinical event and
// the lists of rule ids that clients send.
//
// The event document is XML whose document element, of any name, holds `id`, `time`, `code`,
// `type`, `src_sys`, `emr_id`, `patient_id`, `event_no` and `extend` (with `emr_id`,
// `emr_type`, `user_id`, `user_name`). A child that is missing reads as the empty text.
//
// Thread-safety: a RuleEvent belongs to one thread; the functions are stateless.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "platform/com/bstr.h"

namespace korvalis::rules {

// One event document, read through a writable document of its own.
class RuleEvent {
 public:
  // Throws CEMRException "无效XML!" when the text has no document element (an empty text is
  // an event without children).
  explicit RuleEvent(TextRef xml);
  RuleEvent(const RuleEvent&) = delete;
  RuleEvent& operator=(const RuleEvent&) = delete;

  // The text of the document element's child `name`.
  std::u16string Child(const char16_t* name);
  // The text of the child `name` of the document element's child `extend`.
  std::u16string Extend(const char16_t* name);
  // Replaces the text of the document element's child `name` (added when missing).
  void SetChild(const char16_t* name, const std::u16string& text);
  // The document as text, with its changes.
  std::u16string Xml();

 private:
  CXmlDocument document_;
  CXmlNode root_;
};

// The texts of every element named `tag` in the list document, at any depth (the document
// element included), in document order. An empty or blank text is an empty list. Throws
// CEMRException "无效XML!" when the text is not well formed.
std::vector<std::u16string> ListElementTexts(BSTR list, const char16_t* tag);
// The attribute `attribute` of every element named `tag`, as ListElementTexts finds them (the
// empty text where the attribute is absent).
std::vector<std::u16string> ListElementAttributes(BSTR list, const char16_t* tag,
                                                  const char16_t* attribute);

}  // namespace korvalis::rules
