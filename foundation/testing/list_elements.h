// Test helper: list documents (a `root` with one element per row, as the bodies answer their
// lists) read back as parsed XML, so that lists compare whatever the attribute order.
//
// Thread-safety: stateless; any thread may use it.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace korvalis::testing {

// One child of a list's `root`: its name, its text and its attributes.
struct Element {
  std::string name;
  std::string text;
  std::map<std::string, std::string> attributes;

  bool operator==(const Element&) const = default;
  friend void PrintTo(const Element& e, std::ostream* out) {
    *out << e.name << " '" << e.text << "'";
    for (const auto& [key, value] : e.attributes) *out << " " << key << "='" << value << "'";
  }
};

// The children of the document's `root`, in document order.
inline std::vector<Element> ReadElements(const std::u16string& xml) {
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(xml))) << ToUtf8(xml);
  std::vector<Element> elements;
  if (!document.HasDocumentElement()) return elements;
  EXPECT_EQ(document.DocumentElement().Name(), "root");
  for (const xml::Node& child : document.DocumentElement().Children()) {
    const auto attributes = child.Attributes();
    elements.push_back({child.Name(), child.Text(), {attributes.begin(), attributes.end()}});
  }
  return elements;
}

}  // namespace korvalis::testing
