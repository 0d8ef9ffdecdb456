// The database's definition as the binaries carry it: the schema DDL, the installation rows,
// the sample hospital and the inventory of the tables and columns the system names.
//
// Thread-safety: immutable static data.
#pragma once

#include <span>
#include <string_view>

#include "db/embedded_file.h"

namespace korvalis::schema {

// db/schema/*.sql in file-name order: tables, views, indexes and comments.
std::span<const EmbeddedFile> SchemaFiles();
// db/install/*.sql: the rows every installation needs (property maps, system parameters,
// event catalogue, search dictionaries).
std::span<const EmbeddedFile> InstallFiles();
// db/sample/*.sql and the sample record contents (db/sample/record_content.txt).
std::span<const EmbeddedFile> SampleFiles();
// db/inventory.txt.
std::string_view InventoryText();

}  // namespace korvalis::schema
