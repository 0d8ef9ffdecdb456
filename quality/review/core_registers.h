// What the registers of the core-system module share: their lists, a document whose `root`
// holds one empty `item` element per row with the row's values as its attributes,
//
//   <?xml version="1.0" encoding="UTF-16"?><root><item id="..." create_time="..."/>...</root>
//
// and their records, identified by a text ID: a save replaces the row of its ID (a delete, then
// an insert, one unit with the call) or makes a new ID, and a delete names the ID.
//
// Thread-safety: stateless; each function works on the caller's data source.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/bstr.h"

class CEMRDataSource;

namespace korvalis::review {

// The list of the rows in `values`, names.size() values per row, row after row (as
// CSingleDataSource::Query gives them); a last row that is not whole is left out. Values pass
// through korvalis::XmlCarriable. Precondition: `names` is not empty.
std::u16string ItemList(const std::vector<std::u16string>& values,
                        std::span<const char16_t* const> names);

// Deletes the row of `table` whose ID is the `id` of the condition document; nothing when the
// condition has no `id`. Throws CEMRException "解析属性信息错误." for a condition that is not XML.
void DeleteRecord(CEMRDataSource* data_source, BSTR condition, std::u16string_view table);

}  // namespace korvalis::review
