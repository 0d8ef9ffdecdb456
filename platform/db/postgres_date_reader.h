// The date reader of a PostgreSQL database, part of the runtime of postgres_runtime.h: TO_DATE
// and the default date format read a text by a format model with the embedded engine's rules
// (date_reader.cpp), element for element and with the same messages:
//
//   ora_date_read(text, model, today)       the date, or no date with Oracle's message and
//                                           the SQLSTATE (KV001 the text, KV003 the model)
//   ora_date_read_or_raise(text, model)     TO_DATE: the date, or that failure raised
//   ora_default_date_or_raise(text)         the default format YYYY-MM-DD HH24:MI:SS, or
//                                           ORA-01861 raised
//
// The functions are PL/pgSQL: the SQL functions that call them read the stored form without
// them, so that the common constants fold when a statement is planned.
//
// Thread-safety: a constant.
#pragma once

namespace korvalis::db {

const char* PostgresDateReaderSql();

}  // namespace korvalis::db
