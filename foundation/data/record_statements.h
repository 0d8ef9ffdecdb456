// The statement pieces of the bodies that keep records under a text ID: the ID under which a
// save writes its record. A save of a known ID deletes the old row first, so that the insert
// that follows replaces it within the same call (and the call's rollback brings it back when
// the insert fails).
//
// Thread-safety: stateless; each function works on the caller's data source.
#pragma once

#include <string>
#include <string_view>

class CSingleDataSource;

namespace korvalis {

// Deletes the rows of `table` whose column `key` holds `id`.
void DeleteKeyedRows(CSingleDataSource& data_source, std::u16string_view table,
                     std::u16string_view key, const std::u16string& id);

// The ID under which a record is saved into `table` (its key column `key`): `id` itself, whose
// row is deleted first, or a new GUID text when `id` is empty. Throws CEMRException
// "创建病历全球唯一码错误." when no GUID can be made.
std::u16string IdForSave(CSingleDataSource& data_source, std::u16string id,
                         std::u16string_view table, std::u16string_view key = u"ID");

}  // namespace korvalis
