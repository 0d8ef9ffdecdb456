#include "tools/answer_text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "foundation/codec/emr_compression.h"
#include "foundation/calls/emr_exception.h"
#include "platform/text/unicode.h"

namespace korvalis::tools {
namespace {

// The UTF-16LE units of `bytes` (precondition: an even count).
std::u16string Units(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), bytes.data(), bytes.size());
  return units;
}

// Whether `text` is text a line can show: no zero character (which would cut the line short)
// and every surrogate in a pair.
bool IsShowable(std::u16string_view text) {
  return text.find(u'\0') == std::u16string_view::npos && IsWellFormedUtf16(text);
}

}  // namespace

AnswerText ReadAnswer(std::string_view bytes) {
  AnswerText answer;
  BYTE* expanded = nullptr;
  ULONG expanded_bytes = 0;
  try {
    CGzipCompression().Uncompress(reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<ULONG>(bytes.size()), expanded, expanded_bytes);
  } catch (const CEMRException&) {
    if (bytes.size() % 2 == 0) {
      answer.text = Units(bytes);
      if (IsShowable(answer.text)) {
        answer.form = AnswerText::Form::kText;
      } else {
        answer.text.clear();
      }
    }
    return answer;
  }
  const std::unique_ptr<BYTE[]> owned(expanded);
  if (expanded_bytes % 2 != 0) return answer;
  std::u16string text =
      Units(std::string_view(reinterpret_cast<const char*>(expanded), expanded_bytes));
  text.resize(std::min(text.size(), text.find(u'\0')));
  if (text.starts_with(u'\uFEFF')) text.erase(0, 1);
  if (!IsWellFormedUtf16(text)) return answer;
  answer.form = AnswerText::Form::kCompressedText;
  answer.text = std::move(text);
  return answer;
}

}  // namespace korvalis::tools
