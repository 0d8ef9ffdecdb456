// The discharged visits of the archive's benchmarks: one patient and one visit per index, in 60
// departments, discharged over a year in an order unlike their numbers, written through prepared
// statements into the database being filled.
//
// Thread-safety: an object belongs to the thread that fills the database.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "bench/call_and_statement.h"

namespace korvalis::bench {

// "2026-MM-DD HH:MM:SS" of minute `minute` of the year (a 360-day calendar of 30-day months is
// enough for distinct, ordered dates).
inline std::string YearMinute(long minute) {
  const long day = minute / (24 * 60) % 360;
  char text[32];
  std::snprintf(text, sizeof text, "2026-%02ld-%02ld %02ld:%02ld:00", day / 30 + 1, day % 30 + 1,
                minute / 60 % 24, minute % 60);
  return text;
}

class DischargedVisits {
 public:
  struct Visit {
    std::string patient_id;
    std::string event_no;
    long discharged;  // the minute of the year
  };

  explicit DischargedVisits(sqlite3* db) : db_(db) {
    CheckSqlite(sqlite3_prepare_v2(db,
                                   "INSERT INTO TELV_PATIENT (ID, NAME, SEX, CASE_NO) "
                                   "VALUES (?1, ?2, ?3, ?1)",
                                   -1, &patient_, nullptr),
                db);
    CheckSqlite(sqlite3_prepare_v2(
                    db,
                    "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, "
                    "IN_DEPT_ID, IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, OUT_TIME, OUT_DEPT_ID, "
                    "OUT_DEPT_NAME, DOCTOR_NAME, RESIDENCE_FLAG, EMR_STATUS, FORBID_FLAG, "
                    "PAPER_EMR_STATUS) VALUES (?1, ?2, 1, ?3, ?4, '内科', ?4, '内科', ?5, ?4, "
                    "'内科', '刘静怡', 1, 1, '0', 3)",
                    -1, &visit_, nullptr),
                db);
  }
  ~DischargedVisits() {
    sqlite3_finalize(patient_);
    sqlite3_finalize(visit_);
  }
  DischargedVisits(const DischargedVisits&) = delete;
  DischargedVisits& operator=(const DischargedVisits&) = delete;

  // Writes patient "P<i>" and its visit "E<i>", admitted eight days before its discharge.
  Visit Add(int i) {
    const std::string id = "P" + std::to_string(i);
    const std::string event_no = "E" + std::to_string(i);
    const std::string name = "病人" + std::to_string(i);
    char dept[8];
    std::snprintf(dept, sizeof dept, "%04d", 101 + i % 60);
    const long discharged = (static_cast<long>(i) * 7919) % (300 * 24 * 60);
    sqlite3_bind_text(patient_, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(patient_, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(patient_, 3, i % 2);
    CheckSqlite(sqlite3_step(patient_), db_);
    sqlite3_reset(patient_);

    sqlite3_bind_text(visit_, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit_, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit_, 3, YearMinute(discharged - 8 * 24 * 60).c_str(), -1,
                      SQLITE_TRANSIENT);
    sqlite3_bind_text(visit_, 4, dept, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit_, 5, YearMinute(discharged).c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(visit_), db_);
    sqlite3_reset(visit_);
    return {id, event_no, discharged};
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* patient_ = nullptr;
  sqlite3_stmt* visit_ = nullptr;
};

}  // namespace korvalis::bench
