// The record store in whole method calls on a database of the test's own: a failing call leaves
// nothing of itself, concurrent saves are serialised, and the sample hospital's records load.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/test_database.h"
#include "emrdoc/content_switches.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/std_diagnosis_config.h"
#include "emrdoc/std_doc_types.h"
#include "emrdoc/testing/quality_body_recorder.h"
#include "emrdoc/testing/record_store_fixture.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/test_call.h"
#include "foundation/xml/xhtml_document.h"
#include "platform/com/scoped_bstr.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::com::ScopedBstr;
using korvalis::testing::RunAsCall;

class RecordStoreCallTest : public ::testing::Test {
 protected:
  RecordStoreCallTest() {
    datasource::testing::EMRDatabase();  // the configuration the property map is read through
    SaveDocumentSwitches().Clear();
    UpdateContentSwitches().Clear();
    doubles_.Answer(IID_IDateTimeService, 7, kNow);
    database_.AddCatalog({.id = 1, .code = "001", .name = "病程记录"});
    database_.AddCatalog({.id = 2, .code = "002", .name = "入院记录", .limit_high = 1});
    database_.AddTemplate({.id = 1, .name = "病程", .emr_type = 1, .catalog_id = 1});
  }
  ~RecordStoreCallTest() override {
    SaveDocumentSwitches().Clear();
    UpdateContentSwitches().Clear();
  }

  // SaveEmrDocument as one call: the failure, "" when it succeeded.
  std::u16string SaveCall(const std::u16string& catalog, std::u16string* new_id = nullptr) {
    return RunAsCall(database_.init_string(), [&](CEMRDataSource* data_source) {
      ScopedBstr patient(u"P1"), event(u"E1"), content, id,
          property(u"<root><catalog>" + catalog + u"</catalog><template>1</template></root>");
      *content.out() = PackEmrContent(Page());
      SaveEmrDocument(data_source, patient.get(), event.get(), property.get(), nullptr,
                      content.get(), id.out());
      if (new_id != nullptr) *new_id = id.text();
    });
  }

  // The stored CONTENT bytes of the record, before any codec.
  std::string StoredContent(const std::u16string& id) {
    std::string stored;
    RunAsCall(database_.init_string(), [&](CEMRDataSource* source) {
      BYTE* bytes = nullptr;
      ULONG length = 0;
      source->ReadBlob(u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + id + u"'", bytes,
                       length, 0, 0, false);
      stored.assign(reinterpret_cast<const char*>(bytes), length);
      delete[] bytes;
    });
    return stored;
  }

  suite::testing::SiblingDoubles doubles_;
  korvalis::testing::ScopedDatabaseClock clock_;
  QualityBodyRecorder quality_;
  schema::TestDatabase database_;
};

TEST_F(RecordStoreCallTest, AFailingTriggerLeavesNoRecord) {
  quality_.FailFireClose(u"关闭时限规则失败");
  EXPECT_EQ(SaveCall(u"1"), u"关闭时限规则失败");
  EXPECT_EQ(database_.Count("TELV_EMR_CONTENT"), 0);
  // The trigger was reached with the row and its content written in the call.
  ASSERT_EQ(quality_.FireCloseCalls().size(), 1u);
  ASSERT_EQ(quality_.QcMarksCalls().size(), 1u);
}

TEST_F(RecordStoreCallTest, AFailingQcStoreAfterAnUpdateKeepsTheOldContent) {
  std::u16string id;
  ASSERT_EQ(SaveCall(u"1", &id), u"");
  const std::string before = StoredContent(id);
  ASSERT_FALSE(before.empty());
  quality_.FailQcMarks(u"质控标记保存失败");
  const std::u16string failure = RunAsCall(database_.init_string(), [&](CEMRDataSource* source) {
    ScopedBstr emr_id(id), content, client(u"<root><user id='D01'>李医生</user></root>");
    *content.out() = PackEmrContent(Page(3000, 1000));
    UpdateEmrContent(source, emr_id.get(), content.get(), client.get());
  });
  EXPECT_EQ(failure, u"质控标记保存失败");
  EXPECT_EQ(StoredContent(id), before);
  EXPECT_EQ(database_.QueryScalar("SELECT MODIFIOR FROM TELV_EMR_CONTENT"), "");
}

TEST_F(RecordStoreCallTest, ConcurrentSavesGetDistinctSortCodesAndOnePassesALimitOfOne) {
  for (const char16_t* catalog : {u"1", u"2"}) {
    std::vector<std::u16string> failures(2);
    std::vector<std::thread> threads;
    for (auto& failure : failures) {
      threads.emplace_back([&, catalog] { failure = SaveCall(catalog); });
    }
    for (std::thread& thread : threads) thread.join();
    if (catalog == std::u16string(u"1")) {
      EXPECT_EQ(failures, std::vector<std::u16string>(2, u""));
      EXPECT_EQ(database_.Query("SELECT SORT_CODE FROM TELV_EMR_CONTENT ORDER BY SORT_CODE"),
                (std::vector<std::vector<std::string>>{{"00001"}, {"00002"}}));
    } else {
      EXPECT_EQ(std::multiset<std::u16string>(failures.begin(), failures.end()),
                (std::multiset<std::u16string>{u"", kEmrCatalogFullMessage}));
      EXPECT_EQ(database_.Count("TELV_EMR_CONTENT", "CATALOG_ID = 2"), 1);
    }
  }
}

TEST_F(RecordStoreCallTest, ConcurrentFirstWritesAgreeOnTheSwitches) {
  database_.SetSysParam("emr_content_compression", "1");
  database_.SetSysParam("emr_content_encryption", "1");
  std::vector<ContentCodecs> read(8);
  std::vector<std::thread> threads;
  for (ContentCodecs& codecs : read) {
    threads.emplace_back([&] {
      RunAsCall(database_.init_string(),
                [&](CEMRDataSource* source) { codecs = SaveDocumentSwitches().Get(*source); });
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const ContentCodecs& codecs : read) {
    EXPECT_EQ(codecs.compression, 1);
    EXPECT_EQ(codecs.encryption, 3);
  }
}

// The records of frozen visits load exactly as stored, the others as the HTML engine writes them
// back after their refresh.
TEST(SampleRecords, LoadAsStored) {
  schema::TestDatabase sample(schema::DatabaseContents::kSampleHospital);
  const auto ids = sample.Query(
      "SELECT C.ID, V.EMR_STATUS FROM TELV_EMR_CONTENT C, TELV_VISIT_RECORD V WHERE C.STATUS = 1 "
      "AND V.PATIENT_ID = C.PATIENT_ID AND V.EVENT_NO = C.EVENT_NO");
  ASSERT_FALSE(ids.empty());
  for (const auto& row : ids) {
    SCOPED_TRACE(row[0]);
    std::u16string loaded, stored;
    EXPECT_EQ(RunAsCall(sample.init_string(),
                        [&](CEMRDataSource* source) {
                          ScopedBstr id(FromUtf8(row[0])), content;
                          LoadEmrContent(source, id.get(), content.out());
                          loaded = UnpackEmrContent(content.get());
                          BYTE* bytes = nullptr;
                          ULONG length = 0;
                          source->ReadBlob(u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" +
                                               id.text() + u"'",
                                           bytes, length, 0, 0, true);
                          stored.assign(reinterpret_cast<const char16_t*>(bytes), length / 2);
                          delete[] bytes;
                        }),
              u"");
    if (row[1] != "1" && row[1] != "3") {
      XHTMLDocument page;
      page.Load(stored);
      page.GetHtml(stored);
    }
    EXPECT_EQ(loaded, stored);
    EXPECT_EQ(loaded.rfind(u"<HTML>", 0), 0u);
  }
  // The refresh read the sample's data set into the process's tables.
  ProcessDocTypeTable().Clear();
  ProcessDiagnosisConfig().Clear();
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
