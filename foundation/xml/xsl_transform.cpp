#include "foundation/xml/xsl_transform.h"

#include <new>
#include <string>

#include "foundation/calls/emr_exception.h"
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

std::u16string TransformToContent(const korvalis::xml::Document& source,
                                  const korvalis::xml::Document& stylesheet,
                                  std::u16string_view failed) {
  // The text's units and its zero unit, two bytes each.
  const korvalis::xml::TransformLimits limits{kMaxExpandedBytes / sizeof(char16_t) - 1,
                                              kMaxTransformBytes};
  std::string output;
  switch (korvalis::xml::TransformToText(source, stylesheet, limits, output)) {
    case korvalis::xml::TransformOutcome::kDone:
      return korvalis::FromUtf8(output);
    case korvalis::xml::TransformOutcome::kTooLarge:
      throw CEMRException(std::u16string(kTransformTooLarge));
    case korvalis::xml::TransformOutcome::kFailed:
      break;
  }
  throw CEMRException(std::u16string(failed));
}
