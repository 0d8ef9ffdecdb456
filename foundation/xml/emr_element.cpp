#include "foundation/xml/emr_element.h"

#include <array>
#include <string_view>
#include <vector>

#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_text.h"
#include "platform/text/unicode.h"

namespace {

constexpr std::array<std::u16string_view, 6> kCustomTags = {u"LABEL", u"DE_Y",  u"DE_N",
                                                            u"DED_Y", u"DED_N", u"MARK"};

std::u16string UpperTagName(const IHTMLElement& element) { return ToUpperAscii(element.tagName()); }

struct Diagnosis {
  std::u16string name;
  std::u16string id;
  std::u16string parent;
};

}  // namespace

bool IsDataElementId(const std::u16string& id) {
  const std::u16string head = ToUpperAscii(std::u16string_view(id).substr(0, 6));
  return head == u"STD_DE" || head == u"EXT_DE";
}

bool IsDataElementTag(IHTMLElement* element, BSTR* tag) {
  if (element == nullptr) return false;
  const std::u16string name = UpperTagName(*element);
  if (tag != nullptr) *tag = korvalis::AllocBstr(name);
  for (std::u16string_view custom : kCustomTags) {
    if (name == custom) return true;
  }
  return false;
}

bool IsMarkElement(IHTMLElement* element) {
  if (element == nullptr) return false;
  return UpperTagName(*element) == u"MARK";
}

void ReadElementAttribute(IHTMLElement* element, const std::u16string& name,
                          std::u16string& value) {
  if (element == nullptr) return;
  const std::u16string* found = element->FindAttribute(name);
  if (found != nullptr && !found->empty()) value = *found;
}

std::u16string GetElementAttribute(IHTMLElement* element, const std::u16string& name) {
  std::u16string value;
  ReadElementAttribute(element, name, value);
  return value;
}

void SetElementAttribute(IHTMLElement* element, const std::u16string& name,
                         const std::u16string& value) {
  if (element == nullptr) return;
  element->SetAttribute(name, value);
}

void FormatDiagnosisList(IHTMLElement* element, std::u16string& text) {
  if (text.empty()) return;

  const std::u16string display_type = GetElementAttribute(element, u"displaytype");
  std::u16string_view before_line, before_sub, after_line;
  if (display_type == u"3") {
    before_line = u"<P>";
    before_sub = u"<P>&nbsp;&nbsp;";
    after_line = u"</P>";
  } else if (display_type == u"2") {
    before_sub = u"，";
    after_line = u"；";
  }

  CXmlDocument list(text, false, true);
  CXmlNode root = list.GetRootNode();
  std::vector<Diagnosis> diagnoses;
  const int count = root.GetChildCount(std::u16string());
  for (int i = 0; i < count; ++i) {
    CXmlNode child = root.GetChildAt(i);
    if (child.GetName() != u"diag") continue;
    diagnoses.push_back(
        Diagnosis{child.GetText(), child.GetAttribute(u"id"), child.GetAttribute(u"parent")});
  }

  std::u16string out;
  int number = 0;
  for (const Diagnosis& top : diagnoses) {
    if (top.id.empty() || !top.parent.empty()) continue;
    ++number;
    out += before_line;
    out += korvalis::FromUtf8(std::to_string(number));
    out += u'.';
    korvalis::AppendXmlEscaped(out, top.name);
    std::u16string subs;
    bool any_sub = false;
    for (const Diagnosis& sub : diagnoses) {
      if (sub.parent.empty() || sub.parent != top.id) continue;
      if (any_sub) subs += u'，';
      korvalis::AppendXmlEscaped(subs, sub.name);
      any_sub = true;
    }
    if (any_sub) {
      out += before_sub;
      out += subs;
    }
    out += after_line;
  }
  text = std::move(out);
}
