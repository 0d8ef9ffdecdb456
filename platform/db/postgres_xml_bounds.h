// The part of the server's runtime script (postgres_text_search.h) that admits the evaluation
// of an XPath over an XML text: the document's parse refused where its size, its depth or the
// attributes of its tags pass what the embedded file admits, and each evaluation started only
// when a bound of its work fits the time the statement has left, since the server cannot stop
// libxml2 inside one.
//
// Thread-safety: constants.
#pragma once

namespace korvalis::db {

// The script's text; it runs before the XML functions of the text search, which call it.
const char* PostgresXmlBoundsSql();

}  // namespace korvalis::db
