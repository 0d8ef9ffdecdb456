// The plain-SQLite side of the record benchmarks: statements run as they stand, BLOBs read and
// written by bound values, the steps of a codec applied to a byte string in place, and a
// record's text turned into its stored bytes and back.
//
// Thread-safety: a connection belongs to its benchmark's thread.
#pragma once

#include <sqlite3.h>

#include <cstring>
#include <string>

#include "bench/call_and_statement.h"
#include "foundation/codec/codec_factory.h"
#include "platform/com/types.h"
#include "platform/text/unicode.h"

namespace korvalis::bench {

inline void Exec(sqlite3* db, const std::string& sql) {
  CheckSqlite(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db);
}

// The BLOB in column 1 of the first row `sql` selects, `key` bound to ?1.
inline std::string ReadBlob(sqlite3* db, const char* sql, const char* key) {
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db);
  sqlite3_bind_text(stmt, 1, key, -1, SQLITE_STATIC);
  CheckSqlite(sqlite3_step(stmt), db);
  std::string bytes(static_cast<const char*>(sqlite3_column_blob(stmt, 0)),
                    static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
  sqlite3_finalize(stmt);
  return bytes;
}

// The BLOB in column 1 of the first row the prepared `stmt` selects, `key` bound to ?1.
inline std::string ReadBlob(sqlite3_stmt* stmt, const char* key) {
  sqlite3_bind_text(stmt, 1, key, -1, SQLITE_STATIC);
  CheckSqlite(sqlite3_step(stmt), sqlite3_db_handle(stmt));
  std::string bytes(static_cast<const char*>(sqlite3_column_blob(stmt, 0)),
                    static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
  sqlite3_reset(stmt);
  return bytes;
}

// Runs the prepared `stmt` with `bytes` bound to ?1 and `key` to ?2.
inline void WriteBlob(sqlite3_stmt* stmt, const std::string& bytes, const char* key) {
  sqlite3_bind_blob(stmt, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  sqlite3_bind_text(stmt, 2, key, -1, SQLITE_STATIC);
  CheckSqlite(sqlite3_step(stmt), sqlite3_db_handle(stmt));
  sqlite3_reset(stmt);
}

// Runs `sql` with `bytes` bound to ?1 and, when given, `key` to ?2.
inline void WriteBlob(sqlite3* db, const std::string& sql, const std::string& bytes,
                      const char* key = nullptr) {
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), db);
  sqlite3_bind_blob(stmt, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  if (key != nullptr) sqlite3_bind_text(stmt, 2, key, -1, SQLITE_STATIC);
  CheckSqlite(sqlite3_step(stmt), db);
  sqlite3_finalize(stmt);
}

// Runs `step` of a codec (in, length, out, out length) on `bytes`, which it replaces.
template <class Step>
void Transform(std::string& bytes, Step step) {
  BYTE* out = nullptr;
  ULONG length = 0;
  step(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()), out, length);
  bytes.assign(reinterpret_cast<const char*>(out), length);
  delete[] out;
}

// The stored form of a record's text: byte-order mark, UTF-16LE and its zero character,
// compressed by `compression`, then encrypted by `encryption` (0: left as it is).
inline std::string StoredRecordText(const std::u16string& text, int compression, int encryption) {
  std::string bytes = "\xFF\xFE";
  AppendUtf16Le(text, bytes);
  bytes.append(2, '\0');
  if (compression != 0) {
    Transform(bytes, [&](auto in, auto n, auto& out, auto& out_n) {
      CreateCompression(compression)->Compress(in, n, out, out_n);
    });
  }
  if (encryption != 0) {
    Transform(bytes, [&](auto in, auto n, auto& out, auto& out_n) {
      CreateEncryption(encryption)->Encrypt(in, n, out, out_n);
    });
  }
  return bytes;
}

// The text of a record's stored bytes: decrypted, uncompressed (0: left as they are), without
// its byte-order mark and without its zero character when it has one.
inline std::u16string RecordText(std::string bytes, int compression, int encryption) {
  if (encryption != 0) {
    Transform(bytes, [&](auto in, auto n, auto& out, auto& out_n) {
      CreateEncryption(encryption)->Decrypt(in, n, out, out_n);
    });
  }
  if (compression != 0) {
    Transform(bytes, [&](auto in, auto n, auto& out, auto& out_n) {
      CreateCompression(compression)->Uncompress(in, n, out, out_n);
    });
  }
  std::u16string text((bytes.size() - 2) / 2, u'\0');
  std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
  if (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

}  // namespace korvalis::bench
