// The bodies that their subsystems have not built yet. Each fails its call with the one
// "not yet available" message; this list names every such body, so that it can only shrink:
// building a body means deleting its line here, and a new unavailable body does not go
// unnoticed, since the list must equal what the sources say.
#include "foundation/calls/not_available.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "classes/testing/surface_test_support.h"
#include "foundation/calls/emr_error.h"
#include "platform/com/error_info.h"

namespace korvalis::testing {
namespace {

// Every body is built; a body that is not yet available again would be named here.
const std::vector<std::string> kNotYetAvailable = {};

// The bodies whose sources call ThrowNotAvailable, read from the business classes' folders.
std::set<std::string> BodiesUnavailableInSources() {
  const char* root = std::getenv("KORVALIS_SOURCE_DIR");
  if (root == nullptr) root = KORVALIS_SOURCE_DIR_FALLBACK;
  std::set<std::string> found;
  std::regex call(R"re(ThrowNotAvailable\("([A-Za-z0-9]+(::[A-Za-z0-9]+)?)"\))re");
  for (const char* folder : {"archive", "quality", "report", "emrdoc"}) {
    std::filesystem::path dir = std::filesystem::path(root) / folder;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
      if (entry.path().extension() != ".cpp") continue;
      std::ifstream in(entry.path());
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      for (std::sregex_iterator m(text.begin(), text.end(), call), end; m != end; ++m) {
        found.insert((*m)[1]);
      }
    }
  }
  return found;
}

TEST(NotAvailableTest, TheListIsExactlyTheBodiesTheSourcesLeaveUnbuilt) {
  std::set<std::string> listed(kNotYetAvailable.begin(), kNotYetAvailable.end());
  EXPECT_EQ(listed.size(), kNotYetAvailable.size()) << "a body is listed twice";
  std::set<std::string> found = BodiesUnavailableInSources();
  for (const std::string& body : found) {
    EXPECT_TRUE(listed.count(body)) << body << " is not available but not listed";
  }
  for (const std::string& body : listed) {
    EXPECT_TRUE(found.count(body)) << body << " is built: delete its line from the list";
  }
}

TEST(NotAvailableTest, EachListedBodyFailsItsCallsWithTheOneMessage) {
  CountingCallScopeInstalled counting_scope;
  std::set<std::string> listed(kNotYetAvailable.begin(), kNotYetAvailable.end());
  std::set<std::string> reached;
  for (const WrapperRow& row : kWrapperRows) {
    std::string body(row.body);
    if (!listed.count(body)) continue;
    SCOPED_TRACE(body);
    const ClassUnderTest& c = FindClass(row.class_name);
    IDispatch* object = CreateDispatch(c.library);
    CallArguments arguments(*c.info->FindMethod(row.dispid));
    HRESULT hr = c.info->FindMethod(row.dispid)->invoker.invoke(object, arguments.data());
    object->Release();
    if (row.departure == Departure::kAnswer) {
      EXPECT_EQ(hr, S_OK);
    } else {
      EXPECT_EQ(hr, E_FAIL);
      EXPECT_EQ(CEMRRemoteError().GetError(), FromUtf8(NotAvailableText(body)));
    }
    reached.insert(body);
  }
  EXPECT_EQ(reached, listed);
}

}  // namespace
}  // namespace korvalis::testing
