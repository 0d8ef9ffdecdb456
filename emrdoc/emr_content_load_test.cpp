// Loading records: refusals, empty content, frozen visits, the load-time refresh, every codec,
// and the round trip through a save.
#include <gtest/gtest.h>

#include <string>

#include "emrdoc/testing/record_store_fixture.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::testing::FailureOf;

// A record page with a live link to the patient's name and a data-set element.
constexpr char16_t kLivePage[] =
    u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY><INPUT id=live link=\"n\"><SPAN id=n type=0 "
    u"value=patient.name>旧名</SPAN><SPAN id=STD_DE_NAME>旧值</SPAN></BODY></HTML>";
// The same page without live links.
constexpr char16_t kPlainPage[] =
    u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY><SPAN id=STD_DE_NAME>旧值</SPAN></BODY></HTML>";

class LoadTest : public RecordStoreTest {
 protected:
  LoadTest() {
    Run(PatientInsertSql({}));
    Run(VisitInsertSql({.emr_status = "0"}));
    AddDataSet("DS_VISIT", "0");
    AddStoredValue({.node = "STD_DE_NAME", .value = "李雷"});
    AddCatalog({});
    AddTemplate({});
  }
  void SetVisitState(const std::string& emr_status) {
    Run("UPDATE TELV_VISIT_RECORD SET EMR_STATUS = " + emr_status);
  }
  void Sign(const std::string& id, int signatures) {
    for (int sub = 1; sub <= signatures; ++sub) {
      Run("INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, USER_ID) VALUES ('" + id + "', " +
          std::to_string(sub) + ", 'D0" + std::to_string(sub) + "')");
    }
  }
  std::u16string Stored(const std::string& id, const std::u16string& units, int compression = 0,
                        int encryption = 0) {
    AddRecord({.id = id});
    StoreContent(id, units, compression, encryption);
    return FromUtf8(id);
  }
};

TEST_F(LoadTest, DeletedAndMissingRecordsAreRefused) {
  AddRecord({.id = "R0", .status = 0});
  StoreContent("R0", kPlainPage);
  for (const char16_t* id : {u"R0", u"none", u"x' OR '1'='1"}) {
    EXPECT_EQ(FailureOf([&] { Load(id); }), kEmrDeletedMessage) << ToUtf8(id);
  }
}

TEST_F(LoadTest, AnEmptyContentGivesAZeroLengthResultWithoutRefresh) {
  AddRecord({.id = "R1"});
  com::ScopedBstr id(u"R1"), content;
  LoadEmrContent(&data_source_, id.get(), content.out());
  ASSERT_NE(content.get(), nullptr);
  EXPECT_EQ(SysStringByteLen(content.get()), 0u);
  // A stored text of its terminator alone is no content either.
  StoreContent("R1", std::u16string(1, u'\0'));
  EXPECT_EQ(Load(u"R1"), u"");
}

TEST_F(LoadTest, FrozenVisitsGetTheTextAsStored) {
  // As the store writes it: with the text's zero character, which is not handed out.
  const std::u16string id = Stored("R1", kLivePage + std::u16string(1, u'\0'));
  for (const char* state : {"1", "3"}) {
    SetVisitState(state);
    EXPECT_EQ(Load(id), kLivePage) << state;
  }
}

TEST_F(LoadTest, LiveLinksAreRefreshedAndNothingIsRefilled) {
  const std::u16string loaded = Load(Stored("R1", kLivePage));
  EXPECT_NE(loaded.find(u"value=patient.name>张三</SPAN>"), std::u16string::npos) << ToUtf8(loaded);
  EXPECT_NE(loaded.find(u">旧值</SPAN>"), std::u16string::npos);
}

TEST_F(LoadTest, WithoutLiveLinksDataSetValuesAreKeptOnlyForRecordsSignedMoreThanOnce) {
  const struct {
    int signatures;
    const char16_t* value;
  } kCases[] = {{0, u"李雷"}, {1, u"李雷"}, {2, u"旧值"}, {3, u"旧值"}};
  for (const auto& c : kCases) {
    const std::string id = "R" + std::to_string(c.signatures);
    Sign(id, c.signatures);
    const std::u16string loaded = Load(Stored(id, kPlainPage));
    EXPECT_NE(loaded.find(u"id=STD_DE_NAME>" + std::u16string(c.value) + u"</SPAN>"),
              std::u16string::npos)
        << c.signatures << ": " << ToUtf8(loaded);
  }
}

TEST_F(LoadTest, TheRefreshReplacesThePlainTextOnlyForAnOpenVisit) {
  com::ScopedBstr id(u"R1");
  BSTR text = AllocBstr(kLivePage);
  const BSTR before = text;
  SetVisitState("3");
  RefreshEmrOnLoad(&data_source_, u"P1", u"E1", id.get(), &text);
  EXPECT_EQ(text, before);
  SetVisitState("2");
  RefreshEmrOnLoad(&data_source_, u"P1", u"E1", id.get(), &text);
  EXPECT_NE(BstrView(text).find(u">张三</SPAN>"), std::u16string_view::npos);
  SysFreeString(text);
}

TEST_F(LoadTest, EveryCodecReadsBack) {
  SetVisitState("1");
  const std::u16string text = Page(5000, 3000) + u"中文";
  const std::pair<int, int> kCodecs[] = {{0, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 2}, {0, 3}, {1, 3}};
  for (const auto& [compression, encryption] : kCodecs) {
    const std::string id = "R" + std::to_string(compression) + std::to_string(encryption);
    EXPECT_EQ(Load(Stored(id, text, compression, encryption)), text) << id;
  }
  // The digest codec cannot be reversed: a row that names it is refused, not read as noise.
  const std::u16string digest = Stored("R04", text);
  Run("UPDATE TELV_EMR_CONTENT SET ENCRYPTION = 4 WHERE ID = 'R04'");
  EXPECT_EQ(FailureOf([&] { Load(digest); }), kDatabaseErrorMessage);
  ASSERT_FALSE(events_.Records().empty());
  EXPECT_NE(events_.Records().back().text.find(u"不正确的加密类型"), std::u16string::npos);
}

TEST_F(LoadTest, SavedRecordsLoadAsTheySavedForEverySwitch) {
  SetVisitState("3");
  const std::u16string text = Page(4000, 2000) + u"病历内容";
  const std::pair<const char*, const char*> kSwitches[] = {
      {"0", "0"}, {"1", "0"}, {"0", "1"}, {"1", "1"}};
  for (const auto& [compression, encryption] : kSwitches) {
    ClearSwitches();
    SetSwitches(compression, encryption);
    const std::u16string id =
        Save(u"<root><catalog>1</catalog><template>1</template></root>", text);
    EXPECT_EQ(Load(id), text) << compression << encryption;
    const std::u16string updated = Page(800, 300);
    Update(id, updated);
    EXPECT_EQ(Load(id), updated) << compression << encryption;
  }
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
