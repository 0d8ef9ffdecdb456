// The prose of the record pages that the benchmarks load: paragraphs of a course record.
//
// Thread-safety: a stateless function.
#pragma once

#include <cstddef>
#include <string>

namespace korvalis::bench {

// Appends paragraphs of a course record to the UTF-8 page `html` and closes its body and page,
// so that the page ends a little under `page_bytes` long.
inline void FinishWithParagraphs(std::string& html, std::size_t page_bytes) {
  const std::string paragraph =
      "<P>患者3年前无明显诱因出现胸闷、胸痛，位于胸骨后，呈压榨样，持续约5~10分钟，"
      "休息后可缓解。2天前症状加重，遂来我院就诊。</P>\n";
  while (html.size() + paragraph.size() < page_bytes - 16) html += paragraph;
  html += "</BODY></HTML>";
}

}  // namespace korvalis::bench
