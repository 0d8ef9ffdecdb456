// The hospital of the patient-list benchmarks, written into an embedded database: `visits`
// visits in 60 departments, one patient each, admitted over 1,070 days from 2024-01-01 in
// admission order (those of the last two weeks still in hospital), three records each.
//
// Thread-safety: FillPatientHospital works on the caller's connection only.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "bench/call_and_statement.h"

namespace korvalis::bench {

inline constexpr int kDepartments = 60;
inline constexpr int kRecordsPerVisit = 3;
inline constexpr int kDays = 1070;          // admissions from 2024-01-01 to 2026-12-05
inline constexpr int kInHospitalDays = 14;  // admitted this recently: not yet discharged

inline std::string Department(int i) {
  char code[8];
  std::snprintf(code, sizeof code, "%04d", 101 + i % kDepartments);
  return code;
}

// "YYYY-MM-DD HH:MM:SS" of day `day` after 2024-01-01 and `hour`.
inline std::string Date(int day, int hour) {
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = 2024, month = 0;
  for (;;) {
    int length = kMonthDays[month] + (month == 1 && year % 4 == 0 ? 1 : 0);
    if (day < length) break;
    day -= length;
    if (++month == 12) month = 0, ++year;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:00:00", year, month + 1, day + 1, hour);
  return text;
}

// Visits in admission order spread over the departments, one patient each.
inline void FillPatientHospital(sqlite3* db, int visits) {
  sqlite3_stmt* patient = nullptr;
  sqlite3_stmt* visit = nullptr;
  sqlite3_stmt* record = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, CASE_NO) "
                                 "VALUES (?1, ?2, ?3, '1960-05-01 00:00:00', ?1)",
                                 -1, &patient, nullptr),
              db);
  CheckSqlite(
      sqlite3_prepare_v2(
          db,
          "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, "
          "IN_DEPT_ID, IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, BED_NO, OUT_TIME, OUT_DEPT_ID, "
          "OUT_DEPT_NAME, DOCTOR_NAME, REG_DOCTOR_ID, RESIDENCE_FLAG, EVENT_STATUS, EMR_STATUS, "
          "FORBID_FLAG, PAPER_EMR_STATUS, COMMIT_TIME, ADMISSION_DEPT_TIME) VALUES (?1, ?2, 1, "
          "?3, ?4, '内科', ?4, '内科', ?5, ?6, ?7, ?8, '刘静怡', '1002', 2, 1, ?9, '0', 0, "
          "?10, ?3)",
          -1, &visit, nullptr),
      db);
  CheckSqlite(
      sqlite3_prepare_v2(db,
                         "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, "
                         "TEMPLATE_ID, EMR_TYPE, TITLE, CREATE_DATE, STATUS) VALUES (?1, ?2, "
                         "?3, 2, 2, 2, '病程记录', ?4, ?5)",
                         -1, &record, nullptr),
      db);
  for (int i = 0; i < visits; ++i) {
    const std::string id = "P" + std::to_string(i);
    const std::string event_no = "E" + std::to_string(i);
    const std::string dept = Department(i);
    const int day = static_cast<int>(static_cast<long long>(i) * kDays / visits);
    const bool in_hospital = day >= kDays - kInHospitalDays;
    const std::string in_time = Date(day, 9);
    const std::string out_time = Date(day + 8, 10);
    const std::string name = "病人" + std::to_string(i);
    sqlite3_bind_text(patient, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(patient, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(patient, 3, i % 2);
    CheckSqlite(sqlite3_step(patient), db);
    sqlite3_reset(patient);

    sqlite3_bind_text(visit, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 3, in_time.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 4, dept.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 5, std::to_string(i % 40 + 1).c_str(), -1, SQLITE_TRANSIENT);
    for (int column : {6, 7, 8, 10}) sqlite3_bind_null(visit, column);
    if (!in_hospital) {
      sqlite3_bind_text(visit, 6, out_time.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 7, dept.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 8, "内科", -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 10, Date(day + 10, 16).c_str(), -1, SQLITE_TRANSIENT);
    }
    sqlite3_bind_int(visit, 9, in_hospital ? 1 : (i % 10 == 0 ? 1 : 2));
    CheckSqlite(sqlite3_step(visit), db);
    sqlite3_reset(visit);

    for (int r = 0; r < kRecordsPerVisit; ++r) {
      const std::string record_id = event_no + "-" + std::to_string(r);
      sqlite3_bind_text(record, 1, record_id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 2, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 3, event_no.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 4, Date(day, 11 + r).c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(record, 5, r == 0 && i % 3 == 0 ? 0 : 1);
      CheckSqlite(sqlite3_step(record), db);
      sqlite3_reset(record);
    }
  }
  sqlite3_finalize(patient);
  sqlite3_finalize(visit);
  sqlite3_finalize(record);
}

}  // namespace korvalis::bench
