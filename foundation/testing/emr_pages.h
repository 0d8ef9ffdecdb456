// Test helper: the EMR pages kept under the source tree's testdata folders, read as the
// record editor saved them (UTF-8 files, returned as UTF-16 text).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/com/unicode.h"

namespace korvalis::testing {

// The page at `path`, relative to the source tree ("foundation/testdata/emr_admission.html").
inline std::u16string ReadEmrPage(const std::string& path) {
  const char* root = std::getenv("KORVALIS_SOURCE_DIR");
  std::ifstream in(std::string(root == nullptr ? "." : root) + "/" + path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  std::stringstream bytes;
  bytes << in.rdbuf();
  return korvalis::FromUtf8(bytes.str());
}

}  // namespace korvalis::testing
