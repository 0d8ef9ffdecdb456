// The result document of a new-format report: the caller's identity, the parameters of the
// request and one element per statement of the report's multi-SQL document (MULTI_SQL).
//
//   MULTI_SQL:  <report><sql><gramar>SELECT ... WHERE DEPT = {dept}</gramar>
//                           <property><name>patient</name><name>bed</name></property></sql>
//               ...</report>
//
//   result:     <root><clientinfo><user id="1002">刘静怡</user><dept id="0101">心血管内科</dept>
//               </clientinfo><params><dept>0101</dept></params>
//               <result1><patient bed="01">李建华</patient>...</result1>...</root>
//
// Each `sql` element is one statement: the text of its first `gramar` element, with the
// request's parameters placed (parameter_placement.h), and the names in the element children
// of its first `property` element: the first names the element of each row, the others the
// attributes that take the further columns. `params` holds the value of each parameter of the
// request, after automatic replacement, in request order.
//
// Two forms:
//   - content: every statement runs and its rows fill "result" + its position (1, 2, ...); the
//     document goes to the report's transformation as it is written, its rows read straight into
//     it (report_queries.h);
//   - structure: nothing runs; "result" + position holds one empty sample row, its attribute
//     names trimmed of white space; a statement without names adds no element, and its
//     position is skipped.
// The identity and the parameters are built with the XML library's DOM and written by its
// writer (an XML declaration naming UTF-16, attributes in name order); the rows of the content
// form are written as that writer writes them.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;

namespace korvalis::report {

class ReportDataDocument;

// Writes the content form of the result document into `data`. Fails with
// "解析属性信息错误." when the caller's identity or the request does not parse, with
// "报表未配置SQL语句,请与系统管理员联系." when MULTI_SQL is empty or not well formed, or holds a
// `sql` without `gramar`, `property` or names, before any statement runs, and with the data
// source's message when a statement fails. A placement that is refused, or a statement that is
// not a query, fails before any statement runs; rows beyond the bound of report_queries.h fail
// it with kReportRowsTooLarge.
void WriteResultXml(CSingleDataSource& data_source, LONG report_id, BSTR request,
                    BSTR client_info, ReportDataDocument& data);

// The structure form of the result document, serialised; runs nothing. Fails as
// WriteResultXml does before its statements run (a `sql` without names is no fault here).
std::u16string ResultStructureXml(CSingleDataSource& data_source, LONG report_id, BSTR request,
                                  BSTR client_info);

}  // namespace korvalis::report
