#include "platform/html/entities.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "platform/text/ascii.h"
#include "platform/text/unicode.h"
#include "platform/text/utf8.h"

namespace korvalis::html {
namespace {

struct NamedEntity {
  std::u16string_view name;
  char16_t code;
};

// The named references of HTML 4 and &apos;, sorted once on first use.
constexpr NamedEntity kEntities[] = {
    {u"quot", 34}, {u"amp", 38}, {u"apos", 39}, {u"lt", 60}, {u"gt", 62},
    {u"nbsp", 160}, {u"iexcl", 161}, {u"cent", 162}, {u"pound", 163}, {u"curren", 164},
    {u"yen", 165}, {u"brvbar", 166}, {u"sect", 167}, {u"uml", 168}, {u"copy", 169},
    {u"ordf", 170}, {u"laquo", 171}, {u"not", 172}, {u"shy", 173}, {u"reg", 174},
    {u"macr", 175}, {u"deg", 176}, {u"plusmn", 177}, {u"sup2", 178}, {u"sup3", 179},
    {u"acute", 180}, {u"micro", 181}, {u"para", 182}, {u"middot", 183}, {u"cedil", 184},
    {u"sup1", 185}, {u"ordm", 186}, {u"raquo", 187}, {u"frac14", 188}, {u"frac12", 189},
    {u"frac34", 190}, {u"iquest", 191}, {u"Agrave", 192}, {u"Aacute", 193}, {u"Acirc", 194},
    {u"Atilde", 195}, {u"Auml", 196}, {u"Aring", 197}, {u"AElig", 198}, {u"Ccedil", 199},
    {u"Egrave", 200}, {u"Eacute", 201}, {u"Ecirc", 202}, {u"Euml", 203}, {u"Igrave", 204},
    {u"Iacute", 205}, {u"Icirc", 206}, {u"Iuml", 207}, {u"ETH", 208}, {u"Ntilde", 209},
    {u"Ograve", 210}, {u"Oacute", 211}, {u"Ocirc", 212}, {u"Otilde", 213}, {u"Ouml", 214},
    {u"times", 215}, {u"Oslash", 216}, {u"Ugrave", 217}, {u"Uacute", 218}, {u"Ucirc", 219},
    {u"Uuml", 220}, {u"Yacute", 221}, {u"THORN", 222}, {u"szlig", 223}, {u"agrave", 224},
    {u"aacute", 225}, {u"acirc", 226}, {u"atilde", 227}, {u"auml", 228}, {u"aring", 229},
    {u"aelig", 230}, {u"ccedil", 231}, {u"egrave", 232}, {u"eacute", 233}, {u"ecirc", 234},
    {u"euml", 235}, {u"igrave", 236}, {u"iacute", 237}, {u"icirc", 238}, {u"iuml", 239},
    {u"eth", 240}, {u"ntilde", 241}, {u"ograve", 242}, {u"oacute", 243}, {u"ocirc", 244},
    {u"otilde", 245}, {u"ouml", 246}, {u"divide", 247}, {u"oslash", 248}, {u"ugrave", 249},
    {u"uacute", 250}, {u"ucirc", 251}, {u"uuml", 252}, {u"yacute", 253}, {u"thorn", 254},
    {u"yuml", 255}, {u"OElig", 338}, {u"oelig", 339}, {u"Scaron", 352}, {u"scaron", 353},
    {u"Yuml", 376}, {u"fnof", 402}, {u"circ", 710}, {u"tilde", 732}, {u"Alpha", 913},
    {u"Beta", 914}, {u"Gamma", 915}, {u"Delta", 916}, {u"Epsilon", 917}, {u"Zeta", 918},
    {u"Eta", 919}, {u"Theta", 920}, {u"Iota", 921}, {u"Kappa", 922}, {u"Lambda", 923},
    {u"Mu", 924}, {u"Nu", 925}, {u"Xi", 926}, {u"Omicron", 927}, {u"Pi", 928},
    {u"Rho", 929}, {u"Sigma", 931}, {u"Tau", 932}, {u"Upsilon", 933}, {u"Phi", 934},
    {u"Chi", 935}, {u"Psi", 936}, {u"Omega", 937}, {u"alpha", 945}, {u"beta", 946},
    {u"gamma", 947}, {u"delta", 948}, {u"epsilon", 949}, {u"zeta", 950}, {u"eta", 951},
    {u"theta", 952}, {u"iota", 953}, {u"kappa", 954}, {u"lambda", 955}, {u"mu", 956},
    {u"nu", 957}, {u"xi", 958}, {u"omicron", 959}, {u"pi", 960}, {u"rho", 961},
    {u"sigmaf", 962}, {u"sigma", 963}, {u"tau", 964}, {u"upsilon", 965}, {u"phi", 966},
    {u"chi", 967}, {u"psi", 968}, {u"omega", 969}, {u"thetasym", 977}, {u"upsih", 978},
    {u"piv", 982}, {u"ensp", 8194}, {u"emsp", 8195}, {u"thinsp", 8201}, {u"zwnj", 8204},
    {u"zwj", 8205}, {u"lrm", 8206}, {u"rlm", 8207}, {u"ndash", 8211}, {u"mdash", 8212},
    {u"lsquo", 8216}, {u"rsquo", 8217}, {u"sbquo", 8218}, {u"ldquo", 8220}, {u"rdquo", 8221},
    {u"bdquo", 8222}, {u"dagger", 8224}, {u"Dagger", 8225}, {u"bull", 8226}, {u"hellip", 8230},
    {u"permil", 8240}, {u"prime", 8242}, {u"Prime", 8243}, {u"lsaquo", 8249},
    {u"rsaquo", 8250}, {u"oline", 8254}, {u"frasl", 8260}, {u"euro", 8364}, {u"image", 8465},
    {u"weierp", 8472}, {u"real", 8476}, {u"trade", 8482}, {u"alefsym", 8501}, {u"larr", 8592},
    {u"uarr", 8593}, {u"rarr", 8594}, {u"darr", 8595}, {u"harr", 8596}, {u"crarr", 8629},
    {u"lArr", 8656}, {u"uArr", 8657}, {u"rArr", 8658}, {u"dArr", 8659}, {u"hArr", 8660},
    {u"forall", 8704}, {u"part", 8706}, {u"exist", 8707}, {u"empty", 8709}, {u"nabla", 8711},
    {u"isin", 8712}, {u"notin", 8713}, {u"ni", 8715}, {u"prod", 8719}, {u"sum", 8721},
    {u"minus", 8722}, {u"lowast", 8727}, {u"radic", 8730}, {u"prop", 8733}, {u"infin", 8734},
    {u"ang", 8736}, {u"and", 8743}, {u"or", 8744}, {u"cap", 8745}, {u"cup", 8746},
    {u"int", 8747}, {u"there4", 8756}, {u"sim", 8764}, {u"cong", 8773}, {u"asymp", 8776},
    {u"ne", 8800}, {u"equiv", 8801}, {u"le", 8804}, {u"ge", 8805}, {u"sub", 8834},
    {u"sup", 8835}, {u"nsub", 8836}, {u"sube", 8838}, {u"supe", 8839}, {u"oplus", 8853},
    {u"otimes", 8855}, {u"perp", 8869}, {u"sdot", 8901}, {u"lceil", 8968}, {u"rceil", 8969},
    {u"lfloor", 8970}, {u"rfloor", 8971}, {u"lang", 9001}, {u"rang", 9002}, {u"loz", 9674},
    {u"spades", 9824}, {u"clubs", 9827}, {u"hearts", 9829}, {u"diams", 9830},
};

constexpr size_t kEntityCount = std::size(kEntities);
constexpr size_t kLongestEntityName = 8;

const std::array<NamedEntity, kEntityCount>& SortedEntities() {
  static const std::array<NamedEntity, kEntityCount> sorted = [] {
    std::array<NamedEntity, kEntityCount> a;
    std::copy(std::begin(kEntities), std::end(kEntities), a.begin());
    std::sort(a.begin(), a.end(),
              [](const NamedEntity& x, const NamedEntity& y) { return x.name < y.name; });
    return a;
  }();
  return sorted;
}

const NamedEntity* FindEntity(std::u16string_view name) {
  const auto& table = SortedEntities();
  auto it = std::lower_bound(table.begin(), table.end(), name,
                             [](const NamedEntity& e, std::u16string_view n) { return e.name < n; });
  if (it != table.end() && it->name == name) return &*it;
  return nullptr;
}

// Numeric references in 0x80-0x9F name the characters of the Windows Western code page.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};


int HexValue(char16_t c) {
  if (IsAsciiDigit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

size_t DecodeNumeric(std::u16string_view text, size_t pos, std::u16string& out) {
  size_t i = pos + 2;  // past "&#"
  bool hex = false;
  if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
    hex = true;
    ++i;
  }
  const size_t digits_begin = i;
  char32_t value = 0;
  bool overflow = false;
  while (i < text.size()) {
    int d = hex ? HexValue(text[i]) : (IsAsciiDigit(text[i]) ? text[i] - u'0' : -1);
    if (d < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
    if (value > 0x10FFFF) overflow = true, value = 0x110000;
    ++i;
  }
  if (i == digits_begin) return 0;
  if (i < text.size() && text[i] == u';') ++i;
  if (overflow || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    out.push_back(u'\uFFFD');
  } else if (value >= 0x80 && value <= 0x9F) {
    out.push_back(kWindows1252[value - 0x80]);
  } else {
    AppendUtf16(value, &out);
  }
  return i - pos;
}

}  // namespace

size_t DecodeCharacterReference(std::u16string_view text, size_t pos, bool in_attribute,
                                std::u16string& out) {
  if (pos + 1 >= text.size()) return 0;
  if (text[pos + 1] == u'#') return DecodeNumeric(text, pos, out);

  size_t end = pos + 1;
  while (end < text.size() && IsAsciiAlnum(text[end]) && end - pos <= kLongestEntityName) ++end;
  std::u16string_view name = text.substr(pos + 1, end - pos - 1);
  if (name.empty()) return 0;
  if (end < text.size() && text[end] == u';') {
    if (const NamedEntity* e = FindEntity(name)) {
      out.push_back(e->code);
      return name.size() + 2;
    }
  }
  // Without ';' only the Latin-1 names are recognised, the longest that matches.
  for (size_t len = name.size(); len > 0; --len) {
    const NamedEntity* e = FindEntity(name.substr(0, len));
    if (e == nullptr || e->code > 0xFF) continue;
    const size_t next = pos + 1 + len;
    if (in_attribute && next < text.size() && (IsAsciiAlnum(text[next]) || text[next] == u'=')) {
      return 0;
    }
    out.push_back(e->code);
    return len + 1;
  }
  return 0;
}

void AppendDecoded(std::u16string_view text, bool in_attribute, std::u16string& out) {
  size_t i = 0;
  while (i < text.size()) {
    size_t amp = text.find(u'&', i);
    if (amp == std::u16string_view::npos) {
      out.append(text.substr(i));
      return;
    }
    out.append(text.substr(i, amp - i));
    size_t used = DecodeCharacterReference(text, amp, in_attribute, out);
    if (used == 0) {
      out.push_back(u'&');
      used = 1;
    }
    i = amp + used;
  }
}

}  // namespace korvalis::html
