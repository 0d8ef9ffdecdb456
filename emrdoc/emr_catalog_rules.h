// The catalogue rules of a new record: the catalogue it is filed under, whether its visit may
// hold one more record there, and its place among the visit's records of that catalogue.
//
// Catalogues (TELV_EMR_CATALOG) form a tree by CODE: a top-level catalogue has a 3-character
// code and each level below appends 3 characters to its parent's code. A catalogue whose
// SYSTEM_FLAG is "1" is a system catalogue: records are filed under it directly; a record of any
// other sub-catalogue is filed under the nearest system or top-level catalogue above it.
//
// Catalogue ids are placed bare in the statements, so each must be a whole number: otherwise the
// function fails with SqlIdNumber's message naming the value and "catalog" before any statement
// runs. Texts placed between quotes are quoted. Nothing is written to the database.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "foundation/text/string_util.h"

class CSingleDataSource;

// The catalogue a new record of `catalog_id` is filed under: the first catalogue, starting with
// that one and climbing from each to its parent (the catalogue whose CODE is the code without
// its last 3 characters), that is a system catalogue or has a code of 3 characters or less. The
// climb also ends at a parent without a row and at a catalogue already passed, answering the last
// catalogue reached. A `catalog_id` without a row fails with "没有找到数据: " and the statement.
std::u16string ResolveEmrCatalogId(CSingleDataSource* pDataSource,
                                   const std::u16string& catalog_id);

// True when the catalogue's LIMIT_HIGH is not 0 (no row, NULL and a text that is not a number
// read as 0: no limit) and the visit has at least that many live records (STATUS 1) filed under
// the catalogue.
bool IsCatalogLimitReached(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                           korvalis::TextRef event_no, const std::u16string& catalog_id);

// The sort number of the visit's next record in the catalogue as decimal text: the numeric
// maximum of the SORT_CODE of its records there, deleted ones included (each read as the number
// it starts with, 0 when none), plus one; "1" for the first.
std::u16string GetNextSortCode(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                               korvalis::TextRef event_no, const std::u16string& catalog_id);
