// XslTransform: the XSLT transformation of an XML text by a stylesheet text, with the
// conventions of the system's clients: the extension function msxsl:node-set
// ("urn:schemas-microsoft-com:xslt") is available, texts are wide so an encoding named in
// their declarations is ignored, white-space-only text nodes of both documents are dropped,
// and an XML declaration in the output names UTF-16. Stylesheets read no file and reach no
// network, and their output is content: no larger than the system's content bound.
//
// Thread-safety: may run on any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "foundation/codec/emr_compression.h"
#include "platform/com/bstr.h"
#include "platform/xml/dom.h"

// The failure of a transformation whose texts do not load or whose stylesheet fails.
inline constexpr char16_t kXslTransformFailedMessage[] = u"转换XSLT内容错误.";

// The refusal of a transformation whose text would be larger than the system's content bound.
inline constexpr char16_t kTransformTooLarge[] = u"转换结果超过64MB的上限, 已拒绝";

// The memory that libxml2 and libxslt may take for one transformation before it is stopped:
// eight times the content bound (512 MiB). A ward's list of 320,000 rows, a page of 64.1 MB just
// within the bound, takes 463 MB of working memory at its peak (its result tree and the texts
// of its XPath values), so the largest page fits. The work is stopped at its next instruction
// once the budget is spent: a style sheet that doubles a text or a tree without end stops
// below twice the budget (1.0 GB counted at most), which keeps the process under 1.5 GB.
inline constexpr std::size_t kMaxTransformBytes = std::size_t{8} * kMaxExpandedBytes;

// An empty document for one side of a transformation. Throws CEMRException
// "构造MSXML解析器错误." when none can be made.
korvalis::xml::Document NewTransformDocument();

// Stores the output in *out (a new BSTR; the caller frees it) and answers true. Throws
// CEMRException "构造MSXML解析器错误." when the documents cannot be made, and
// "转换XSLT内容错误." when either text does not load, the stylesheet does not compile or the
// transformation fails (or `out` is null). The arguments are read, not freed.
bool XslTransform(BSTR xml, BSTR xsl, BSTR* out);

// The text of `source` transformed by `stylesheet`, as content: UTF-16 whose units and zero
// unit fit in kMaxExpandedBytes. Throws CEMRException `failed` when the stylesheet does not
// compile or the transformation fails, and kTransformTooLarge when the text would be larger
// or its work passes kMaxTransformBytes (stopped at its next instruction).
std::u16string TransformToContent(const korvalis::xml::Document& source,
                                  const korvalis::xml::Document& stylesheet,
                                  std::u16string_view failed);
