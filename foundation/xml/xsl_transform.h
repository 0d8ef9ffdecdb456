// XslTransform: the XSLT transformation of an XML text by a stylesheet text, with the
// conventions of the system's clients: the extension function msxsl:node-set
// ("urn:schemas-microsoft-com:xslt") is available, texts are wide so an encoding named in
// their declarations is ignored, white-space-only text nodes of both documents are dropped,
// and an XML declaration in the output names UTF-16. Stylesheets read no file and reach no
// network, and their output is content: no larger than the system's content bound. Each
// transformation runs in the transformation worker, its time bounded by the call's
// (korvalis::TransformationTimeBound), its memory by kMaxTransformBytes; a refused
// transformation leaves its cause in the event log.
//
// Thread-safety: may run on any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "foundation/calls/work_bounds.h"
#include "foundation/codec/emr_compression.h"
#include "platform/com/bstr.h"
#include "platform/xml/xslt.h"

// The failure of a transformation whose texts do not load or whose stylesheet fails.
inline constexpr char16_t kXslTransformFailedMessage[] = u"转换XSLT内容错误.";

// The refusal of a transformation whose text would be larger than the system's content bound.
inline constexpr char16_t kTransformTooLarge[] = u"转换结果超过64MB的上限, 已拒绝";

// The refusal of a transformation whose work would take more memory than kMaxTransformBytes.
inline constexpr char16_t kTransformOutOfMemory[] = u"转换所需内存超过1GB的上限, 已停止";

// The refusal of a transformation that ran as long as its time limit: the name of the bound
// that applied and its seconds stand between the two.
inline constexpr char16_t kTransformTimedOutPrefix[] = u"转换超过时限(";
inline constexpr char16_t kTransformTimedOutSuffix[] = u"秒), 已停止";

// The refusal of a transformation that never started: the process's transformations were all
// at work for as long as its time limit. The bound and its seconds stand between the two.
inline constexpr char16_t kTransformBusyPrefix[] = u"转换未开始: 进程繁忙, 等待超过时限(";
inline constexpr char16_t kTransformBusySuffix[] = u"秒), 已拒绝";

// The memory that libxml2 and libxslt may take for one transformation: sixteen times the
// content bound (1 GiB). A page of 200,000 rows of 10 columns (55 MB as UTF-16) takes 529 MB at
// its peak, the densest page within the bound (rows of 20 one-character cells, 67 MB) 748 MB:
// their result trees and the texts of their XPath values. The transformation's process ends at
// the first allocation past the budget, whatever builds it.
inline constexpr std::size_t kMaxTransformBytes = std::size_t{16} * kMaxExpandedBytes;

// Stores the output in *out (a new BSTR; the caller frees it) and answers true. Throws
// CEMRException "转换XSLT内容错误." when either text does not load, the stylesheet does not
// compile or the transformation fails (or `out` is null); and as ContentTransformation::Finish
// when it is stopped. The arguments are read, not freed.
bool XslTransform(BSTR xml, BSTR xsl, BSTR* out);

// The refusals of a transformation whose texts do not load or whose work fails.
struct TransformFailures {
  std::u16string_view failed;                 // the stylesheet does not compile, the work fails
  std::u16string_view source_not_loaded;      // the source's text does not parse
  std::u16string_view stylesheet_not_loaded;  // the style sheet's text does not parse
};

// A transformation into content whose source the system writes piece by piece (a report's
// rows as they are read): the pieces go to the transformation's worker as they come, so the
// caller never holds the source whole (platform/xml/xslt.h). Its time is bounded by the call's
// (korvalis::TransformationTimeBound, spent only while the caller waits for the transformation:
// never the writer's own time), its memory by kMaxTransformBytes; a refused transformation
// leaves its cause in the event log.
//
// Thread-safety: belongs to one thread.
class ContentTransformation {
 public:
  ContentTransformation(std::u16string_view stylesheet, const TransformFailures& failures);

  // Adds the next piece of the source's markup.
  void AppendSource(std::u16string_view piece);

  // The text of the source transformed, as content: UTF-16 whose units and zero unit fit in
  // kMaxExpandedBytes. Throws CEMRException with the failure that applies; kTransformTooLarge
  // when the text would be larger, kTransformOutOfMemory when its work would pass
  // kMaxTransformBytes, the time limit's refusal (naming the bound that applied) when it runs as
  // long as the call's time limit, the busy refusal when it waited that long for a turn and never
  // started, and `failed` followed by the cause when no worker can make it.
  // Precondition: called once.
  std::u16string Finish();

 private:
  korvalis::TimeBound time_limit_;
  TransformFailures failures_;
  std::string utf8_;  // the piece being sent, its storage kept
  korvalis::xml::Transformation transformation_;
};

// The text of the whole `source` (a caller's text, with the parser's limits) transformed by
// `stylesheet`, as ContentTransformation::Finish.
std::u16string TransformToContent(std::u16string_view source, std::u16string_view stylesheet,
                                  const TransformFailures& failures);
