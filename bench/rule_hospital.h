// The hospital of the time-limit rule benchmarks: its visits, the rule instances that fill it, the
// minutes its events happen at, and the statements whose marker values each run replaces.
//
// Thread-safety: stateless functions; a connection belongs to its benchmark's thread.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench/call_and_statement.h"

namespace korvalis::bench {

inline std::string PatientOf(long visit) { return "P" + std::to_string(visit); }
inline std::string EventNoOf(long visit) { return "E" + std::to_string(visit); }

// "2026-MM-DD HH:MM:00" of minute `n` after 2026-01-01 00:00, within the year.
inline std::string Minute(long n) {
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  long day = n / 1440 % 365;
  int month = 0;
  while (day >= kMonthDays[month]) day -= kMonthDays[month++];
  char text[48];
  std::snprintf(text, sizeof text, "2026-%02d-%02ld %02ld:%02ld:00", month + 1, day + 1,
                n / 60 % 24, n % 60);
  return text;
}

// Inserts `per_visit` instances into each of `visits` visits: serial s of rule `first_rule` +
// s - 1 (its EMR type the rule's id), started at minute visit * 50 + s with a deadline a day
// later, every fifth open and the others closed ten hours after their start by a record of
// their own.
inline void AddRuleInstances(sqlite3* db, int visits, int per_visit, int first_rule) {
  sqlite3_stmt* instance = nullptr;
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO PEV_TIME_RULE_RECORD (PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, "
                  "START_TIME, OVER_TIME, STATUS, EMR_TYPE, OPEN_EVENT_CODE, CLOSE_EVENT_CODE, "
                  "SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, USER_NAME, FINISH_TIME, OVER_HOUR) VALUES "
                  "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?4, 'A01', ?8, 0, ?9, ?10, ?11, ?12, ?13)",
                  -1, &instance, nullptr),
              db);
  for (int visit = 0; visit < visits; ++visit) {
    const std::string patient = PatientOf(visit);
    const std::string event_no = EventNoOf(visit);
    for (int serial = 1; serial <= per_visit; ++serial) {
      const long minute = static_cast<long>(visit) * 50 + serial;
      const bool open = serial % 5 == 0;
      const std::string record = event_no + "-" + std::to_string(serial);
      const std::string finish = Minute(minute + 600);
      sqlite3_bind_text(instance, 1, patient.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(instance, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(instance, 3, serial);
      sqlite3_bind_int(instance, 4, first_rule + serial - 1);
      sqlite3_bind_text(instance, 5, Minute(minute).c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(instance, 6, Minute(minute + 1440).c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(instance, 7, open ? 1 : 2);
      for (int column = 8; column <= 13; ++column) sqlite3_bind_null(instance, column);
      if (!open) {
        sqlite3_bind_text(instance, 8, "E03", -1, SQLITE_STATIC);
        sqlite3_bind_text(instance, 9, record.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(instance, 10, "1003", -1, SQLITE_STATIC);
        sqlite3_bind_text(instance, 11, "陈浩然", -1, SQLITE_STATIC);
        sqlite3_bind_text(instance, 12, finish.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(instance, 13, 0);
      }
      CheckSqlite(sqlite3_step(instance), db);
      sqlite3_reset(instance);
    }
  }
  sqlite3_finalize(instance);
}

// `sql` with every marker replaced by its value.
inline std::string WithValues(std::string sql,
                              const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [marker, value] : values) {
    for (std::size_t at = sql.find(marker); at != std::string::npos;
         at = sql.find(marker, at + value.size())) {
      sql.replace(at, marker.size(), value);
    }
  }
  return sql;
}

}  // namespace korvalis::bench
