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
  std::string output;
  if (!korvalis::xml::TransformToText(source, stylesheet, output)) throw CEMRException(failed);
  BSTR result = korvalis::AllocBstr(korvalis::FromUtf8(output));
  if (result == nullptr) throw std::bad_alloc();
  *out = result;
  return true;
}
