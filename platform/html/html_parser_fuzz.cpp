// libFuzzer target of the HTML parser: any bytes, read as UTF-8 and as UTF-16LE, must parse
// without a fault, serialise to a text that parses back to the same serialisation, and take
// the document's edits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/html/document.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::html::Document;
using korvalis::html::Element;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Exercise(const std::u16string& text) {
  Document doc;
  doc.Load(text);
  const std::u16string saved = doc.documentElement()->OuterHtml();

  Document again;
  again.Load(saved);
  Check(again.documentElement()->OuterHtml() == saved);

  // The text read back holds every character the first tree held.
  Check(again.body()->InnerText() == doc.body()->InnerText());

  std::vector<Element*> all = doc.All();
  Check(all.size() >= 3);
  Element* last = all.back();
  last->SetInnerHtml(text);
  last->SetAttribute(u"classname", text.substr(0, 16));
  doc.RemoveBetween({doc.body(), 0}, {last, last->children().size() / 2});
  if (last->parent() != nullptr) last->SetOuterHtml(text.substr(text.size() / 2));
  doc.documentElement()->OuterHtml();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Exercise(korvalis::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size)));
  std::u16string wide(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) {
    wide[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  Exercise(wide);
  return 0;
}
