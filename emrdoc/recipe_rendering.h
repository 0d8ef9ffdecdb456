// The prescriptions of an out-patient visit as the HTML texts that records show through the
// clinic domain (emrdoc/his_clinic_domain.h). The HIS clinic component answers groups (the
// element children of the document element, with `class` and `print`) of items (their element
// children: the name as text; `sepc`, `dose`, `dose_unit`, `method`, `freq`, `daycount`,
// `total`, `total_unit`, `price` and `charge`). Element names are not read.
//
//   text      receives                                         row of each item
//   wide      every item, unless a stylesheet result replaces  dose-less for classes E, I, D, F,
//             the table                                        full otherwise
//   summary   one row per group: its items' specifications,    group row
//             names and doses, then the last item's method
//             and frequency
//   a         items of classes A, C02, B, print mark not "01"  A/B/C02 row
//   b         items of class C01                               C01 row (fixed words 帖 and 天)
//   c         items of classes A, C02, B, print mark "01"      A/B/C02 row
//   short     items of classes E, I, D, F                      short row
//
// Classes and print marks are compared exactly. Records keep these texts, so every fixed piece
// is fixed to the byte; the HIS values in the cells and the summary are escaped as HTML text,
// so that a dose "<5ml" or a name holding "&" shows as written and cannot break a table. A table
// that received no row is the empty text; a summary without groups is its empty form, and the
// wide table is then empty too, a stylesheet result included.
//
// The stylesheet is a system's choice: the parameter `emr_recipe_text_xsl` holds a document
// whose `templateid` names a record template, and that template's XSL, applied to the answer as
// the component returned it, gives the wide table.
//
// Thread-safety: stateless functions; the parsed answer belongs to the calling thread.
#pragma once

#include <optional>
#include <string>
#include <xercesc/util/XercesDefs.hpp>

#include "platform/com/bstr.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

class CSingleDataSource;

struct RecipeTables {
  std::u16string wide{};
  std::u16string summary{};
  std::u16string a{};
  std::u16string b{};
  std::u16string c{};
  std::u16string short_table{};
};

// The tables of the groups below `root` (null: no groups). With a stylesheet result, the wide
// table receives no rows and is that result.
RecipeTables RenderRecipeTables(const xercesc::DOMElement* root,
                                const std::optional<std::u16string>& stylesheet_result);

// The answer transformed by the configured stylesheet; nullopt when `emr_recipe_text_xsl` is
// empty or "NULL", or when the stylesheet cannot be loaded or applied (an empty one, template
// id 0 included), which is not reported. Throws CEMRException "无效XML!" when the parameter is
// not XML, and the template reader's message when its template does not exist.
std::optional<std::u16string> TransformRecipe(CSingleDataSource& data_source, BSTR recipe);
