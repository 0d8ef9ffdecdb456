// XslTransform: the XSLT transformation of an XML text by a stylesheet text, with the
// conventions of the system's clients: the extension function msxsl:node-set
// ("urn:schemas-microsoft-com:xslt") is available, texts are wide so an encoding named in
// their declarations is ignored, white-space-only text nodes of both documents are dropped,
// and an XML declaration in the output names UTF-16. Stylesheets read no file and reach no
// network.
//
// Thread-safety: may run on any thread.
#pragma once

#include "platform/com/bstr.h"
#include "platform/xml/dom.h"

// The failure of a transformation whose texts do not load or whose stylesheet fails.
inline constexpr char16_t kXslTransformFailedMessage[] = u"转换XSLT内容错误.";

// An empty document for one side of a transformation. Throws CEMRException
// "构造MSXML解析器错误." when none can be made.
korvalis::xml::Document NewTransformDocument();

// Stores the output in *out (a new BSTR; the caller frees it) and answers true. Throws
// CEMRException "构造MSXML解析器错误." when the documents cannot be made, and
// "转换XSLT内容错误." when either text does not load, the stylesheet does not compile or the
// transformation fails (or `out` is null). The arguments are read, not freed.
bool XslTransform(BSTR xml, BSTR xsl, BSTR* out);
