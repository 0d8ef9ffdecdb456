// The part of the server's runtime script (postgres_runtime.h) that bounds the work and the
// memory of calls into the server's own functions. The server looks for a cancel, and for its
// statement timeout, between the steps of a statement and at each statement of a PL/pgSQL
// loop, never inside one call of a function of its own: a call whose worst case passes about a
// second runs there only in pieces that a loop calls one by one, or only when its worst case
// fits the statement's time left. A value that would take the server's process past the
// memory the embedded file's statements may hold is refused before it is built.
//
//   ora_admit(steps, rate)        refuses, as the timeout does, work that cannot end in time
//   ora_out_of_memory()           fails with ORA-04030: a value past the bound of a call
//   ora_bytes_find(b, s, at)      the server's own search over windows of bounded work
//   ora_piece_end(b, at, size)    where a piece of a text's bytes ends between two characters
//   ora_piece_text(b, first, stop) the text of such a piece
//   ora_instr_pieces(v, s, p, k)  INSTR's k-th occurrence found by ora_bytes_find
//   ora_replace_bounded(v, o, n)  REPLACE of a long search text or of a long result
//   ora_like(v, pattern, escape)  LIKE admitted by the bound of its work
//   ora_like_parts(v, parts)      LIKE by plain texts between '%', found by ora_bytes_find
//   ora_like_escaped(p, escape)   the pattern, its escape refused where Oracle refuses it
//
// Thread-safety: constants.
#pragma once

namespace korvalis::db {

// The script's text; it runs before the functions of texts (postgres_functions.h), which call
// it.
const char* PostgresBoundedWorkSql();

}  // namespace korvalis::db
