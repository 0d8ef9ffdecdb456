#include "foundation/xml/xsl_transform.h"

#include <chrono>
#include <new>
#include <string>

#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/unicode.h"
#include "platform/xml/entity_bound.h"

using korvalis::xml::TransformOutcome;

namespace {

// The bound that applied, as a refusal names it: "Command Timeout 5".
std::u16string BoundText(const korvalis::TimeBound& time_limit) {
  return std::u16string(time_limit.name) + u" " +
         korvalis::FromUtf8(std::to_string(time_limit.seconds.count()));
}

// The refusal of a transformation that ended otherwise than done; its cause goes to the event
// log, and into the answer too when the system failed rather than the texts or the bounds, so
// that the caller reads why (a worker that cannot be found or ended, a process that crashed), or
// when a text was refused for its entities.
CEMRException Refusal(TransformOutcome outcome, const korvalis::TimeBound& time_limit,
                      const TransformFailures& failures, const std::string& cause) {
  std::u16string message;
  switch (outcome) {
    case TransformOutcome::kTooLarge:
      message = kTransformTooLarge;
      break;
    case TransformOutcome::kOutOfMemory:
      message = kTransformOutOfMemory;
      break;
    case TransformOutcome::kDeadlinePassed:
    case TransformOutcome::kProcessorTimeSpent:
      message = kTransformTimedOutPrefix + BoundText(time_limit) + kTransformTimedOutSuffix;
      break;
    case TransformOutcome::kBusy:
      message = kTransformBusyPrefix + BoundText(time_limit) + kTransformBusySuffix;
      break;
    case TransformOutcome::kSourceNotLoaded:
      message =
          WithEntitiesCause(failures.source_not_loaded, korvalis::xml::EntityRefusalIn(cause));
      break;
    case TransformOutcome::kStylesheetNotLoaded:
      message =
          WithEntitiesCause(failures.stylesheet_not_loaded, korvalis::xml::EntityRefusalIn(cause));
      break;
    case TransformOutcome::kKilled:
    case TransformOutcome::kCrashed:
    case TransformOutcome::kForbiddenCall:
    case TransformOutcome::kWorkerEnded:
    case TransformOutcome::kUnavailable:
      message = std::u16string(failures.failed) + u": " + korvalis::FromUtf8(cause);
      break;
    case TransformOutcome::kDone:
    case TransformOutcome::kFailed:
      message = failures.failed;
      break;
  }
  const bool cause_in_message = korvalis::xml::IsFault(outcome);
  CEventLogEntry(
      cause.empty() || cause_in_message ? message : message + u": " + korvalis::FromUtf8(cause),
      CEventLogEntry::kError)
      .Report();
  return CEMRException(message);
}

korvalis::xml::TransformLimits LimitsFor(const korvalis::TimeBound& time_limit) {
  // The text's units and its zero unit, two bytes each.
  return {kMaxExpandedBytes / sizeof(char16_t) - 1, kMaxTransformBytes, time_limit.seconds};
}

}  // namespace

ContentTransformation::ContentTransformation(std::u16string_view stylesheet,
                                             const TransformFailures& failures)
    : time_limit_(korvalis::TransformationTimeBound()),
      failures_(failures),
      transformation_(korvalis::ToUtf8(stylesheet), korvalis::xml::TextWriter::kCaller,
                      korvalis::xml::TextWriter::kSystem, LimitsFor(time_limit_)) {}

void ContentTransformation::AppendSource(std::u16string_view piece) {
  korvalis::AssignUtf8(piece, utf8_);
  transformation_.AppendSource(utf8_);
}

std::u16string ContentTransformation::Finish() {
  std::string output;
  std::string cause;
  const TransformOutcome outcome = transformation_.Finish(output, &cause);
  if (outcome != TransformOutcome::kDone) throw Refusal(outcome, time_limit_, failures_, cause);
  return korvalis::FromUtf8(output);
}

std::u16string TransformToContent(std::u16string_view source, std::u16string_view stylesheet,
                                  const TransformFailures& failures) {
  const korvalis::TimeBound time_limit = korvalis::TransformationTimeBound();
  std::string output;
  std::string cause;
  const TransformOutcome outcome = korvalis::xml::TransformText(
      korvalis::ToUtf8(source), korvalis::xml::TextWriter::kCaller, korvalis::ToUtf8(stylesheet),
      korvalis::xml::TextWriter::kCaller, LimitsFor(time_limit), output, &cause);
  if (outcome != TransformOutcome::kDone) throw Refusal(outcome, time_limit, failures, cause);
  return korvalis::FromUtf8(output);
}

bool XslTransform(BSTR xml, BSTR xsl, BSTR* out) {
  const std::u16string_view failed = kXslTransformFailedMessage;
  if (out == nullptr) throw CEMRException(std::u16string(failed));
  BSTR result = korvalis::AllocBstr(TransformToContent(
      korvalis::BstrView(xml), korvalis::BstrView(xsl), {failed, failed, failed}));
  if (result == nullptr) throw std::bad_alloc();
  *out = result;
  return true;
}
