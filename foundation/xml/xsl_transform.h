// XslTransform: the XSLT transformation of an XML text by a stylesheet text, with the
// conventions of the system's clients: the extension function msxsl:node-set
// ("urn:schemas-microsoft-com:xslt") is available, texts are wide so an encoding named in
// their declarations is ignored, white-space-only text nodes of both documents are dropped,
// and an XML declaration in the output names UTF-16. Stylesheets read no file and reach no
// network, and their output is content: no larger than the system's content bound. Each
// transformation's time is bounded by the call's (korvalis::TransformationTimeLimit), its memory
// by kMaxTransformBytes; a refused transformation leaves its cause in the event log.
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

// The refusal of a transformation whose work would take more memory than kMaxTransformBytes.
inline constexpr char16_t kTransformOutOfMemory[] = u"转换所需内存超过1GB的上限, 已停止";

// The refusal of a transformation that ran as long as its time limit (Command Timeout, in
// seconds, follows).
inline constexpr char16_t kTransformTimedOutPrefix[] = u"转换超过时限(Command Timeout ";
inline constexpr char16_t kTransformTimedOutSuffix[] = u"秒), 已停止";

// The memory that libxml2 and libxslt may take for one transformation: sixteen times the
// content bound (1 GiB). A page of 200,000 rows of 10 columns (55 MB as UTF-16) takes 529 MB at
// its peak, the densest page within the bound (rows of 20 one-character cells, 67 MB) 748 MB:
// their result trees and the texts of their XPath values. The transformation's process ends at
// the first allocation past the budget, whatever builds it; with what it shares with the caller
// it stays below 2 GB (1.5 GB with the densest page).
inline constexpr std::size_t kMaxTransformBytes = std::size_t{16} * kMaxExpandedBytes;

// An empty document for one side of a transformation. Throws CEMRException
// "构造MSXML解析器错误." when none can be made.
korvalis::xml::Document NewTransformDocument();

// Stores the output in *out (a new BSTR; the caller frees it) and answers true. Throws
// CEMRException "构造MSXML解析器错误." when the documents cannot be made, and
// "转换XSLT内容错误." when either text does not load, the stylesheet does not compile or the
// transformation fails (or `out` is null); and as TransformToContent when it is stopped. The
// arguments are read, not freed.
bool XslTransform(BSTR xml, BSTR xsl, BSTR* out);

// The text of `source` transformed by `stylesheet`, as content: UTF-16 whose units and zero
// unit fit in kMaxExpandedBytes. Throws CEMRException `failed` when the stylesheet does not
// compile or the transformation fails, kTransformTooLarge when the text would be larger,
// kTransformOutOfMemory when its work would pass kMaxTransformBytes, and the time limit's
// refusal when it runs as long as korvalis::TransformationTimeLimit().
std::u16string TransformToContent(const korvalis::xml::Document& source,
                                  const korvalis::xml::Document& stylesheet,
                                  std::u16string_view failed);
