// Fills an empty embedded database with the system's schema, the rows every installation
// needs and, on request, the sample hospital, through the provider interface.
//
// Thread-safety: a build uses only the connection it is given; run one build per database.
#pragma once

#include "platform/db/provider.h"

namespace korvalis::schema {

enum class DatabaseContents {
  kInstallation,    // schema and installation rows
  kSampleHospital,  // the same and the sample hospital with its record contents
};

// Precondition: `connection` reaches a database without the system's tables and is not in a
// transaction. Everything runs in one writing transaction, so a failed build leaves nothing
// behind; the failure is a db::DbError whose description names the file and the statement.
void BuildDatabase(db::Connection& connection, DatabaseContents contents);

}  // namespace korvalis::schema
