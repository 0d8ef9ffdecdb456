#include "platform/html/tag_table.h"

#include <algorithm>
#include <iterator>

namespace korvalis::html {
namespace {

struct TagEntry {
  std::u16string_view name;
  uint32_t flags;
};

constexpr uint32_t kBlockCloser = kTagClosesP | kTagBlock;

// Sorted by name for binary search.
constexpr TagEntry kTags[] = {
    {u"ADDRESS", kBlockCloser},
    {u"APPLET", kTagScopeBoundary},
    {u"AREA", kTagVoid},
    {u"ARTICLE", kBlockCloser},
    {u"ASIDE", kBlockCloser},
    {u"BASE", kTagVoid | kTagHeadContent},
    {u"BASEFONT", kTagVoid},
    {u"BGSOUND", kTagVoid | kTagHeadContent},
    {u"BLOCKQUOTE", kBlockCloser},
    {u"BR", kTagVoid},
    {u"BUTTON", kTagScopeBoundary},
    {u"CAPTION", kTagScopeBoundary | kTagTableStructure | kTagBlock},
    {u"CENTER", kBlockCloser},
    {u"COL", kTagVoid},
    {u"COLGROUP", kTagTableStructure},
    {u"DD", kBlockCloser},
    {u"DIR", kBlockCloser},
    {u"DIV", kBlockCloser},
    {u"DL", kBlockCloser},
    {u"DT", kBlockCloser},
    {u"EMBED", kTagVoid},
    {u"FIELDSET", kBlockCloser},
    {u"FIGURE", kBlockCloser},
    {u"FOOTER", kBlockCloser},
    {u"FORM", kBlockCloser},
    {u"FRAME", kTagVoid},
    {u"H1", kBlockCloser | kTagHeading},
    {u"H2", kBlockCloser | kTagHeading},
    {u"H3", kBlockCloser | kTagHeading},
    {u"H4", kBlockCloser | kTagHeading},
    {u"H5", kBlockCloser | kTagHeading},
    {u"H6", kBlockCloser | kTagHeading},
    {u"HEADER", kBlockCloser},
    {u"HR", kTagVoid | kBlockCloser},
    {u"HTML", kTagScopeBoundary},
    {u"IFRAME", kTagRawText},
    {u"IMG", kTagVoid},
    {u"INPUT", kTagVoid},
    {u"ISINDEX", kTagVoid},
    {u"KEYGEN", kTagVoid},
    {u"LI", kBlockCloser},
    {u"LINK", kTagVoid | kTagHeadContent},
    {u"LISTING", kBlockCloser},
    {u"MARQUEE", kTagScopeBoundary},
    {u"MENU", kBlockCloser},
    {u"META", kTagVoid | kTagHeadContent},
    {u"NAV", kBlockCloser},
    {u"NOEMBED", kTagRawText},
    {u"NOFRAMES", kTagRawText},
    {u"OBJECT", kTagScopeBoundary},
    {u"OL", kBlockCloser},
    {u"P", kBlockCloser},
    {u"PARAM", kTagVoid},
    {u"PLAINTEXT", kTagRawText | kBlockCloser},
    {u"PRE", kBlockCloser},
    {u"SCRIPT", kTagRawText | kTagHeadContent},
    {u"SECTION", kBlockCloser},
    {u"SOURCE", kTagVoid},
    {u"STYLE", kTagRawText | kTagHeadContent},
    // Documents without a document type are read in quirks mode, where TABLE leaves P open.
    {u"TABLE", kTagScopeBoundary | kTagTableStructure | kTagBlock},
    {u"TBODY", kTagTableStructure},
    {u"TD", kTagScopeBoundary | kTagTableStructure},
    {u"TEXTAREA", kTagRcData},
    {u"TFOOT", kTagTableStructure},
    {u"TH", kTagScopeBoundary | kTagTableStructure},
    {u"THEAD", kTagTableStructure},
    {u"TITLE", kTagRcData | kTagHeadContent},
    {u"TR", kTagTableStructure | kTagBlock},
    {u"TRACK", kTagVoid},
    {u"UL", kBlockCloser},
    {u"WBR", kTagVoid},
    {u"XMP", kTagRawText | kBlockCloser},
};

}  // namespace

uint32_t TagFlags(std::u16string_view upper_name) {
  auto it = std::lower_bound(std::begin(kTags), std::end(kTags), upper_name,
                             [](const TagEntry& e, std::u16string_view n) { return e.name < n; });
  if (it != std::end(kTags) && it->name == upper_name) return it->flags;
  return 0;
}

}  // namespace korvalis::html
