// The condition fragments of the record library's searches: the column condition and the path
// condition turned into pieces of a WHERE clause, and the upper-casing they read their words
// with.
//
// Values placed between quotes (STRING and DATE values, "$" patterns, paths and path values)
// have their quotes doubled; a NUMBER value and a catalogue identifier, placed bare, must be
// numbers, refused before any statement runs otherwise. Column texts, operators and the bare
// values of other types are SQL by contract and pass unchanged.
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "archive/emr_library.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/ascii.h"

namespace {

using korvalis::ListElement;
using korvalis::SqlEscaped;

constexpr char16_t kColumnClauseIncomplete[] = u"条件语句除了表名称，其它属性均不能为空！";
constexpr char16_t kPathClauseIncomplete[] = u"路径条件语句属性均不能为空！";

// The comparison that a relation word stands for: "lt" and "gt", in lower case only; any other
// relation is its own operator.
std::u16string_view OperatorOf(std::u16string_view relation) {
  if (relation == u"lt") return u"<";
  if (relation == u"gt") return u">";
  return relation;
}

// The parsed condition document; "无效XML!" when the text is not well formed.
class ConditionDocument {
 public:
  explicit ConditionDocument(const std::u16string& text) : parser_(text) {
    if (parser_.GetDocument() == nullptr) throw CEMRException(u"无效XML!");
  }
  std::vector<ListElement> Elements(std::u16string_view tag,
                                    std::initializer_list<std::u16string_view> attributes) {
    return korvalis::ReadListElements(parser_.GetDocument(), tag, attributes);
  }

 private:
  CXmlStringParser parser_;
};

// Writes the conditions of a fragment one after the other with their logic words. A run of
// conditions joined by OR stands in one bracket: it opens before the first condition whose word
// is OR and closes after the next one whose word is AND, or after the last condition. Brackets
// never nest; a word other than AND and OR neither opens nor closes one.
class ConditionWriter {
 public:
  explicit ConditionWriter(std::u16string& fragment) : fragment_(fragment) {}

  // Before a condition joined on by `logic`.
  void Begin(const std::u16string& logic) {
    if (logic == u"OR" && !open_) {
      fragment_ += u" (";
      open_ = true;
    }
  }
  // After it: the bracket closed where it ends, then the logic word.
  void End(const std::u16string& logic, bool last) {
    if (open_ && (logic == u"AND" || (logic == u"OR" && last))) {
      fragment_ += u") ";
      open_ = false;
    }
    fragment_ += logic;
    fragment_ += u' ';
  }

  // Drops the logic word after the last condition: a fragment of three characters or fewer
  // holds no condition and becomes empty.
  void Finish() {
    const std::u16string_view text = fragment_;
    if (text.size() <= 3) {
      fragment_.clear();
    } else if (text.ends_with(u"OR ")) {
      fragment_.resize(text.size() - 3);
    } else if (text.ends_with(u"AND ")) {
      fragment_.resize(text.size() - 4);
    }
  }

 private:
  std::u16string& fragment_;
  bool open_ = false;
};

// The value of a NUMBER clause as it may stand bare: a number, or a bracketed list of numbers
// for an IN ("(1, 2)" -> "(1,2)"), blanks around them dropped. Anything else is refused.
std::u16string NumberValue(std::u16string_view value) {
  const std::u16string_view text = korvalis::TrimAsciiBlanks(value);
  if (text.size() >= 2 && text.front() == u'(' && text.back() == u')') {
    return u"(" + korvalis::SqlNumberList(text.substr(1, text.size() - 2), u"right") + u")";
  }
  return korvalis::SqlNumber(text, u"right");
}

}  // namespace

std::u16string CBEMRLibrary::ToUpper(std::u16string strText) {
  std::u16string upper;
  upper.reserve(strText.size());
  const char16_t* units = strText.data();
  const int32_t length = static_cast<int32_t>(strText.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U16_NEXT(units, i, length, c);  // an unpaired surrogate comes as itself and stays
    const UChar32 mapped = u_toupper(c);
    if (U_IS_BMP(mapped)) {
      upper.push_back(static_cast<char16_t>(mapped));
    } else {
      upper.push_back(U16_LEAD(mapped));
      upper.push_back(U16_TRAIL(mapped));
    }
  }
  return upper;
}

std::u16string CBEMRLibrary::BuildConditionClause(CEMRDataSource* pDataSource,
                                                  std::u16string strCondition) {
  const std::vector<ListElement> clauses =
      ConditionDocument(strCondition)
          .Elements(u"clause", {u"type", u"relation", u"right", u"logic"});
  std::u16string fragment;
  ConditionWriter writer(fragment);
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    const std::u16string column = ToUpper(clauses[i].text);
    const std::u16string type = ToUpper(clauses[i].attributes[0]);
    const std::u16string& relation = clauses[i].attributes[1];
    std::u16string value = clauses[i].attributes[2];
    const std::u16string logic = ToUpper(clauses[i].attributes[3]);
    if (column.empty() || type.empty() || relation.empty() || value.empty() || logic.empty()) {
      throw CEMRException(kColumnClauseIncomplete);
    }
    writer.Begin(logic);
    if (type == u"DATE") value = korvalis::SqlDateValue(*pDataSource->GetDBType(), value);
    if (type == u"NUMBER") value = NumberValue(value);
    fragment += u' ';
    fragment += column;
    if (relation == u"$") {
      // The value stands once, inside the pattern, whatever its type.
      fragment += u" Like '%" + SqlEscaped(value) + u"%' ";
    } else {
      fragment += u' ';
      fragment += OperatorOf(relation);
      fragment += type == u"STRING" ? u" '" + SqlEscaped(value) + u"' " : u" " + value + u" ";
    }
    writer.End(logic, i + 1 == clauses.size());
  }
  writer.Finish();
  return fragment;
}

std::u16string CBEMRLibrary::BuildPathConditionClause(std::u16string strPathCondition) {
  ConditionDocument condition(strPathCondition);
  const std::vector<ListElement> catalogs = condition.Elements(u"catalogid", {});
  if (catalogs.empty()) throw CEMRException(kPathClauseIncomplete);
  const std::vector<ListElement> clauses =
      condition.Elements(u"clause", {u"path", u"relation", u"logic"});

  std::u16string fragment;
  if (!catalogs.front().text.empty()) {
    fragment =
        u"CATALOG_ID = " + korvalis::SqlNumber(catalogs.front().text, u"catalogid") + u" AND ";
  }
  ConditionWriter writer(fragment);
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    const std::u16string& path = clauses[i].attributes[0];
    const std::u16string_view relation = OperatorOf(clauses[i].attributes[1]);
    const std::u16string logic = ToUpper(clauses[i].attributes[2]);
    const std::u16string& value = clauses[i].text;
    if (path.empty() || logic.empty() || value.empty()) throw CEMRException(kPathClauseIncomplete);
    writer.Begin(logic);
    if (relation == u">" || relation == u"<" || relation == u"=") {
      fragment += u" EXTRACTVALUE(C.XML_TEXT, '" + SqlEscaped(path) + u"') ";
      fragment += relation;
      fragment += u" '" + SqlEscaped(value) + u"' ";
    } else {
      // Any other relation, none included, searches the text under the path.
      fragment +=
          u" CONTAINS(C.XML_TEXT, '" + SqlEscaped(value + u" INPATH(" + path + u")") + u"') > 0 ";
    }
    writer.End(logic, i + 1 == clauses.size());
  }
  writer.Finish();
  return fragment;
}
