// Fuzz target of the Oracle Text query language: arbitrary bytes as a query are parsed, and a
// parsed query is matched against plain and XML texts (and arbitrary bytes as text) and turned
// into an index query; nothing but a DbError may come out.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/db/sql_error.h"
#include "platform/db/text_query.h"

using namespace korvalis::db;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t cut = bytes.find('\n');
  const std::string_view query = bytes.substr(0, cut);
  const std::string_view text = cut == std::string_view::npos ? bytes : bytes.substr(cut + 1);
  try {
    auto q = text::TextQuery::Parse(query);
    bool exact = false;
    q->IndexQuery(&exact);
    q->Matches("主诉: 发热、咳嗽5天。 fever and cough", text::TextKind::kPlain);
    q->Matches(text, text::TextKind::kPlain);
    q->Matches("<root><a x=\"1\">肺炎 pneumonia</a><b>&#x4E2D;&amp;</b></root>", text::TextKind::kXml);
    q->Matches(text, text::TextKind::kXml);
  } catch (const DbError&) {
  }
  text::SplitUnits(text, text::TextKind::kXml);
  return 0;
}
