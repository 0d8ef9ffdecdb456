#include "platform/sys/on_demand_library.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using korvalis::sys::LibraryUnavailable;
using korvalis::sys::OnDemandLibrary;

// zlib is on every machine that builds the system; this test program does not link it.
TEST(OnDemandLibrary, OpensTheLibraryOnFirstUseAndFindsItsFunctions) {
  OnDemandLibrary zlib("libz.so.1");
  auto version = zlib.Find<const char* (*)()>("zlibVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(std::string(version()).substr(0, 2), "1.");
  EXPECT_EQ(zlib.Find<const char* (*)()>("zlibVersion"), version);

  try {
    zlib.Symbol("noSuchFunction");
    FAIL() << "a missing function was found";
  } catch (const LibraryUnavailable& error) {
    EXPECT_EQ(std::string(error.what()), "libz.so.1 has no function noSuchFunction");
  }
}

TEST(OnDemandLibrary, AMissingLibraryFailsEveryUseWithTheLoadersReason) {
  OnDemandLibrary missing("libkorvalis-no-such-library.so.9");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      missing.Symbol("anything");
      FAIL() << "a missing library was opened";
    } catch (const LibraryUnavailable& error) {
      const std::string what = error.what();
      EXPECT_EQ(what.rfind("libkorvalis-no-such-library.so.9 cannot be loaded: ", 0), 0u) << what;
      EXPECT_NE(what.find("No such file"), std::string::npos) << what;
    }
  }
}

}  // namespace
