// Test helper: the EMR pages kept under the source tree's testdata folders, read as the
// record editor saved them (UTF-8 files, returned as UTF-16 text).
//
// Thread-safety: pure functions that read files.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/text/unicode.h"

namespace korvalis::testing {

// The page at `path`, relative to the source tree ("foundation/testdata/emr_admission.html"):
// the tree that KORVALIS_SOURCE_DIR names, as CTest sets it, or else the tree the tests were
// built from. A page that cannot be read throws, failing the test that asks for it.
inline std::u16string ReadEmrPage(const std::string& path) {
  const char* root = std::getenv("KORVALIS_SOURCE_DIR");
  const std::string file =
      std::string(root == nullptr ? KORVALIS_SOURCE_DIR_FALLBACK : root) + "/" + path;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the test page " + file);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return korvalis::FromUtf8(bytes.str());
}

}  // namespace korvalis::testing
