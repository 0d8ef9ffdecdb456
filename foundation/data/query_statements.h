// Statements that a caller sends or an author stored, run where only a query is asked for (a
// report's statements, a client's query of key values or rows, a task's or an extension item's
// stored query): each is checked before it runs, so that one that writes, changes the schema or
// ends the transaction changes nothing.
//
// Thread-safety: stateless functions.
#pragma once

#include <string_view>

namespace korvalis {

// Throws CEMRException `refusal` + the statement as records quote it (QuotedStatement) when
// `sql` is a statement other than a query (INSERT, UPDATE, DELETE, DDL, COMMIT ...). A text
// that does not parse passes: no engine runs it, and it fails when it runs as any faulty query
// does.
void CheckQueryStatement(std::u16string_view sql, std::u16string_view refusal);

}  // namespace korvalis
