// The constant empty document: the answer of the lists that report no failure (the work-list
// service, the archive report's lists) when anything goes wrong, so that their callers see a
// failure as an empty list:
//
//   <?xml version="1.0" encoding="UTF-16"  ?><root/>
//
// Thread-safety: the document is made on first use and only read for the life of the process;
// any thread may copy it.
#pragma once

#include "platform/com/bstr.h"

// The module's own BSTR of the document; callers hand out copies, never this string.
BSTR EmptyListDocument();

namespace korvalis {

// Stores a new copy of EmptyListDocument() in *list unless `list` is null (a null string when
// the copy cannot be allocated).
void AnswerEmptyList(BSTR* list);

}  // namespace korvalis
