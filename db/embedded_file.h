// A file of the source tree compiled into the binary (see db/embed_files.cmake).
//
// Thread-safety: immutable static data.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvalis::schema {

struct EmbeddedFile {
  const char* path;  // relative to db/, e.g. "schema/01_foundation.sql"
  const char* data;  // the file's bytes, followed by a zero byte
  size_t size;       // without the zero byte

  std::string_view text() const { return {data, size}; }
};

}  // namespace korvalis::schema
