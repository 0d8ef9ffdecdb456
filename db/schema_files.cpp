#include "db/schema_files.h"

namespace korvalis::schema {

// Defined in the sources that db/embed_files.cmake generates.
extern const EmbeddedFile kSchemaFiles[];
extern const size_t kSchemaFilesCount;
extern const EmbeddedFile kInstallFiles[];
extern const size_t kInstallFilesCount;
extern const EmbeddedFile kSampleFiles[];
extern const size_t kSampleFilesCount;
extern const EmbeddedFile kInventoryFiles[];
extern const size_t kInventoryFilesCount;

std::span<const EmbeddedFile> SchemaFiles() { return {kSchemaFiles, kSchemaFilesCount}; }
std::span<const EmbeddedFile> InstallFiles() { return {kInstallFiles, kInstallFilesCount}; }
std::span<const EmbeddedFile> SampleFiles() { return {kSampleFiles, kSampleFilesCount}; }
std::string_view InventoryText() { return kInventoryFiles[0].text(); }

}  // namespace korvalis::schema
