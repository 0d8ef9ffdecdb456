#include "foundation/xml/xsl_transform.h"

#include <chrono>
#include <new>
#include <string>

#include "foundation/calls/emr_exception.h"
#include "foundation/calls/work_bounds.h"
#include "foundation/log/event_log_entry.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "platform/xml/xslt.h"

korvalis::xml::Document NewTransformDocument() {
  try {
    return korvalis::xml::Document();
  } catch (const std::bad_alloc&) {
    throw CEMRException(std::u16string(u"构造MSXML解析器错误."));
  }
}

bool XslTransform(BSTR xml, BSTR xsl, BSTR* out) {
  korvalis::xml::Document source = NewTransformDocument();
  korvalis::xml::Document stylesheet = NewTransformDocument();
  const std::u16string failed = kXslTransformFailedMessage;
  // A text that does not load would otherwise be transformed as an empty document.
  if (!source.LoadXml(korvalis::ToUtf8(korvalis::BstrView(xml))) ||
      !stylesheet.LoadXml(korvalis::ToUtf8(korvalis::BstrView(xsl))) || out == nullptr) {
    throw CEMRException(failed);
  }
  BSTR result = korvalis::AllocBstr(TransformToContent(source, stylesheet, failed));
  if (result == nullptr) throw std::bad_alloc();
  *out = result;
  return true;
}

namespace {

// The refusal of a transformation that ended otherwise than done; its cause goes to the event
// log.
CEMRException Refusal(korvalis::xml::TransformOutcome outcome, std::chrono::seconds time_limit,
                      std::u16string_view failed, const std::string& cause) {
  std::u16string message;
  switch (outcome) {
    case korvalis::xml::TransformOutcome::kTooLarge:
      message = kTransformTooLarge;
      break;
    case korvalis::xml::TransformOutcome::kOutOfMemory:
      message = kTransformOutOfMemory;
      break;
    case korvalis::xml::TransformOutcome::kTimedOut:
      message = kTransformTimedOutPrefix + korvalis::FromUtf8(std::to_string(time_limit.count())) +
                kTransformTimedOutSuffix;
      break;
    case korvalis::xml::TransformOutcome::kDone:
    case korvalis::xml::TransformOutcome::kFailed:
      message = failed;
      break;
  }
  CEventLogEntry(cause.empty() ? message : message + u": " + korvalis::FromUtf8(cause),
                 CEventLogEntry::kError)
      .Report();
  return CEMRException(message);
}

}  // namespace

std::u16string TransformToContent(const korvalis::xml::Document& source,
                                  const korvalis::xml::Document& stylesheet,
                                  std::u16string_view failed) {
  const std::chrono::seconds time_limit = korvalis::TransformationTimeLimit();
  // The text's units and its zero unit, two bytes each.
  const korvalis::xml::TransformLimits limits{kMaxExpandedBytes / sizeof(char16_t) - 1,
                                              kMaxTransformBytes, time_limit};
  std::string output;
  std::string cause;
  const korvalis::xml::TransformOutcome outcome =
      korvalis::xml::TransformToText(source, stylesheet, limits, output, &cause);
  if (outcome != korvalis::xml::TransformOutcome::kDone) {
    throw Refusal(outcome, time_limit, failed, cause);
  }
  return korvalis::FromUtf8(output);
}
