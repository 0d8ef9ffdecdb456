// What the tests of the record library's search share: list documents read back into their
// elements, compared as parsed XML.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/unicode.h"
#include "platform/xml/dom.h"

namespace korvalis::archive::testing {

// One child of a list's `root`: its name, text and attributes.
struct ListEntry {
  std::string name;
  std::string text;
  std::map<std::string, std::string> attributes;

  bool operator==(const ListEntry&) const = default;
  std::string operator[](const std::string& attribute) const {
    auto found = attributes.find(attribute);
    return found == attributes.end() ? "(absent)" : found->second;
  }
};

inline std::ostream& operator<<(std::ostream& out, const ListEntry& e) {
  out << "<" << e.name;
  for (const auto& [key, value] : e.attributes) out << " " << key << "=\"" << value << "\"";
  return out << ">" << e.text << "</" << e.name << ">";
}

// The children of the document's `root` element, in order.
inline std::vector<ListEntry> ReadList(std::u16string_view document) {
  xml::Document parsed;
  EXPECT_TRUE(parsed.LoadXml(ToUtf8(document))) << ToUtf8(document);
  std::vector<ListEntry> elements;
  if (!parsed.HasDocumentElement()) return elements;
  EXPECT_EQ(parsed.DocumentElement().Name(), "root");
  for (const xml::Node& child : parsed.DocumentElement().Children()) {
    ListEntry element{child.Name(), child.Text(), {}};
    for (const auto& [key, value] : child.Attributes()) element.attributes[key] = value;
    elements.push_back(std::move(element));
  }
  return elements;
}

}  // namespace korvalis::archive::testing
