#include "platform/com/guid.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/com/type_info_table.h"

namespace {

const GUID kSample = {0x6B29FC40, 0xCA47, 0x1067, {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}};

TEST(Guid, TextFormsPutFieldsInPlatformOrder) {
  EXPECT_EQ(korvalis::GuidToString(kSample), u"6b29fc40-ca47-1067-b31d-00dd010662da");
  EXPECT_EQ(korvalis::GuidToRegistryString(kSample), u"{6B29FC40-CA47-1067-B31D-00DD010662DA}");
}

TEST(Guid, ParsersAcceptOnlyTheirOwnForm) {
  GUID g = GUID_NULL;
  EXPECT_TRUE(korvalis::GuidFromString(u"6B29FC40-ca47-1067-b31d-00dd010662da", &g));
  EXPECT_EQ(g, kSample);

  g = GUID_NULL;
  EXPECT_FALSE(korvalis::GuidFromString(u"{6b29fc40-ca47-1067-b31d-00dd010662da}", &g));
  EXPECT_FALSE(korvalis::GuidFromString(u"6b29fc40-ca47-1067-b31d-00dd010662d", &g));
  EXPECT_FALSE(korvalis::GuidFromString(u"6b29fc40-ca47-1067-b31d-00dd010662dz", &g));
  EXPECT_FALSE(korvalis::GuidFromString(u"6b29fc40ca47-1067-b31d-00dd010662da-", &g));
  EXPECT_FALSE(korvalis::GuidFromString(u"６b29fc40-ca47-1067-b31d-00dd010662da", &g));
  EXPECT_EQ(g, GUID_NULL);

  EXPECT_TRUE(korvalis::GuidFromRegistryString(u"{6b29fc40-CA47-1067-b31d-00dd010662da}", &g));
  EXPECT_EQ(g, kSample);
  EXPECT_FALSE(korvalis::GuidFromRegistryString(u"6b29fc40-ca47-1067-b31d-00dd010662da", &g));
  EXPECT_FALSE(korvalis::GuidFromRegistryString(u"(6b29fc40-ca47-1067-b31d-00dd010662da)", &g));
}

TEST(Guid, CompileTimeAndRunTimeParsersAgreeAndFailuresLeaveTheGuidAlone) {
  constexpr GUID compiled = korvalis::com::MakeGuid("6B29FC40-CA47-1067-B31D-00DD010662DA");
  GUID parsed{};
  ASSERT_TRUE(korvalis::GuidFromString(u"6b29fc40-ca47-1067-b31d-00dd010662da", &parsed));
  EXPECT_EQ(parsed, compiled);
  GUID kept = compiled;
  EXPECT_FALSE(korvalis::GuidFromString(u"00000000-0000-0000-0000-00000000000g", &kept));
  EXPECT_FALSE(korvalis::GuidFromRegistryString(u"{00000000-0000-0000-0000-000000000000", &kept));
  EXPECT_EQ(kept, compiled);
}

TEST(Guid, NewGuidsAreDistinctLowerCaseAndRoundTrip) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::u16string text = korvalis::NewGuidString();
    ASSERT_EQ(text.size(), 36u);
    for (char16_t c : text) {
      EXPECT_TRUE(c == u'-' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'));
    }
    GUID parsed;
    ASSERT_TRUE(korvalis::GuidFromString(text, &parsed));
    EXPECT_EQ(korvalis::GuidToString(parsed), text);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(CoCreateGuid(nullptr), E_POINTER);
}

}  // namespace
