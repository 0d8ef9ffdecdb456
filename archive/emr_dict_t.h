// CBEMRDictT: the bodies behind the automation class EMRDictT: named data dictionaries, each a
// row of TELV_DICT_SOURCE (NAME, the key; REMARK; XML, the definition) whose definition says
// which table and columns to read, from the system's own database or from the hospital
// information system's (HIS):
//
//   <dict>
//     <table source="his" name="DICT_X" didu_name="V_DICT_X" filter="KIND='1'"/>
//     <column field="CODE"/><column field="NAME"/>
//   </dict>
//
// `table` is the first element of that name below the document element, at any depth; every
// `column` below it is read in document order. `source` "his" or "kesh" (exactly) reads the HIS,
// any other text the own database. `name` is the table on the own database and on a HIS of kind
// "kesh", `didu_name` on a HIS of any other kind; the kind comes from the configuration
// (OpenHisDataSource), not from the definition. `filter` is an SQL condition and the table
// names and fields are select-list SQL: the definition's author writes SQL by contract, and it
// runs as written. A field is also the name of the attribute that carries its values, so it
// must be an XML name.
//
// The method wrappers of CEMRDictT call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException. Values are placed in the statements between quotes with their quotes doubled.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include <string>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

// The message of a dictionary name without a row.
inline constexpr char16_t kNoSuchDictMessage[] = u"没有相关的字典!";
// The message of a definition that cannot be run: empty, not well-formed, without `table`, or
// with a field that is not an XML name.
inline constexpr char16_t kBadDictDefinitionMessage[] = u"数据源配置错误!";

class CBEMRDictT {
 public:
  // Adds a dictionary from the property document's `name` and `remark`, without a definition.
  // An empty name, or one already present, fails as a database error (the name is the key).
  static long NewDict(CEMRDataSource* pDataSource, BSTR bstrProperty);
  // `root` with a `dict` element (the name as text, attribute `remark`) for the name; an empty
  // `root` for a name without a row.
  static long GetDictByDictName(CEMRDataSource* pDataSource, BSTR bstrDictName,
                                BSTR* pbstrDictProperty);
  // Stores the definition text as it is given; a name without a row changes nothing.
  static long SetDictContent(CEMRDataSource* pDataSource, BSTR bstrDictName, BSTR bstrDictContent);
  // The definition (empty when NULL). A name without a row stores the empty text and throws
  // kNoSuchDictMessage.
  static long GetDictContent(CEMRDataSource* pDataSource, BSTR bstrDictName,
                             BSTR* pbstrDictContent);
  // The definition with its rows: a new `items` appended as the last child of the document
  // element (after any `items` already there), one `item` per row carrying the value of each
  // field as the attribute named by the field (NULL gives an empty value). Fails with
  // kNoSuchDictMessage, or with kBadDictDefinitionMessage before any statement runs.
  static long GetDataList(CEMRDataSource* pDataSource, BSTR bstrDictName, BSTR* pbstrDataList);
  // `root` with one `dict` element per dictionary, as GetDictByDictName writes it.
  static long GetDictList(CEMRDataSource* pDataSource, BSTR* pbstrDictList);
  static long DeleteDictByName(CEMRDataSource* pDataSource, BSTR bstrDictName);
  // Renames `original_name` to `new_name` and sets its `remark`, all three from the property
  // document, in one statement; when any of them is empty nothing changes and the call
  // succeeds. A new name already present fails as a database error.
  static long SetDictName(CEMRDataSource* pDataSource, BSTR bstrDictList);

  // Runs a query on the HIS database named by the configuration: the element `his` of
  // "telv.config.xml" (the current directory) names its kind; kind "kesh" runs `kesh_sql` on the
  // database of "kesh.config.xml", any other kind `other_sql` on that of "didu.config.xml", both
  // read with the Oracle dialect. `values` receives `columns` texts per row, as
  // CSingleDataSource::Query gives them. The HIS connection takes part in the current call's
  // transaction. Throws "获取数据库配置信息错误. 配置文件: telv.config.xml" when the
  // configuration cannot be read or does not hold exactly one `his`, and the data source's
  // failures for a missing HIS configuration or a failing statement.
  static void OpenHisDataSource(const std::u16string& kesh_sql, const std::u16string& other_sql,
                                unsigned columns, std::vector<std::u16string>& values);
};
