// Test fixture of the record store: every case runs as one writing call on the process's EMR
// database, rolled back at its end (StdDataSetTest), with the content switches forgotten before
// and after it, both switches off until the case sets them, the date-time component and the
// database's SYSDATE at one time (kNow), recorders bound for the quality bodies, and the event
// log captured.
//
//   AddCatalog({.id = 1, .code = "001"});
//   AddTemplate({.id = 1, .emr_type = 2});
//   std::u16string id = Save(u"<root><catalog>1</catalog><template>1</template></root>", Page());
//
// Thread-safety: one test thread.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "emrdoc/content_switches.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/testing/quality_body_recorder.h"
#include "emrdoc/testing/std_data_set_fixture.h"
#include "foundation/log/file_log.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace korvalis::emrdoc::testing {

// The time of the date-time component and of the database.
inline constexpr char16_t kNow[] = u"2026-12-07 09:30:00";
inline constexpr db::DateTime kDatabaseNow = {2026, 12, 7, 9, 30, 0};

struct CatalogColumns {  // TELV_EMR_CATALOG; an empty optional writes NULL
  int id = 1;
  std::string code = "001";
  int system_flag = 1;
  std::optional<int> limit{};
};

struct TemplateColumns {  // TELV_EMR_TEMPLATE
  int id = 1;
  std::optional<int> emr_type = 2;
  int superior_sign_flag = 0;
  int print_flag = 1;
};

struct RecordColumns {  // TELV_EMR_CONTENT without content
  std::string id;
  std::string patient_id = "P1";
  std::string event_no = "E1";
  int catalog = 1;
  int emr_type = 2;
  std::string sort = "00001";
  int status = 1;
};

// A page of exactly `units` UTF-16 units whose closing body tag begins `body` units after the
// start of its opening one, the tags written as given.
inline std::u16string Page(std::size_t units = 2000, std::size_t body = 1000,
                           const std::u16string& open = u"<BODY",
                           const std::u16string& close = u"</BODY") {
  const std::u16string head = u"<HTML><HEAD><TITLE>", title_end = u"</TITLE></HEAD>";
  const std::u16string content =
      open + u">" + std::u16string(body - open.size() - 1, u'记') + close + u"></HTML>";
  return head + std::u16string(units - head.size() - title_end.size() - content.size(), u'页') +
         title_end + content;
}

class RecordStoreTest : public StdDataSetTest {
 protected:
  RecordStoreTest() {
    ClearSwitches();
    SetToday(kNow);
    db::SetDatabaseClock(std::make_shared<korvalis::testing::FixedDatabaseClock>(kDatabaseNow));
    SetSwitches("0", "0");
  }
  ~RecordStoreTest() override { ClearSwitches(); }

  static void ClearSwitches() {
    SaveDocumentSwitches().Clear();
    UpdateContentSwitches().Clear();
  }
  void SetSwitches(const std::string& compression, const std::string& encryption) {
    SetParameter("emr_content_compression", compression);
    SetParameter("emr_content_encryption", encryption);
  }

  void AddCatalog(const CatalogColumns& c) {
    Run("INSERT INTO TELV_EMR_CATALOG (ID, CODE, NAME, PARENT_CODE, SYSTEM_FLAG, STATUS, "
        "LIMIT_HIGH) VALUES (" +
        std::to_string(c.id) + ", " + schema::SqlText(c.code) + ", '类别', '###', " +
        std::to_string(c.system_flag) + ", 1, " +
        (c.limit ? std::to_string(*c.limit) : std::string("NULL")) + ")");
  }
  void AddTemplate(const TemplateColumns& t) {
    Run("INSERT INTO TELV_EMR_TEMPLATE (ID, NAME, EMR_TYPE, SUPERIOR_SIGN_FLAG, PRINT_FLAG) "
        "VALUES (" +
        std::to_string(t.id) + ", '模板', " +
        (t.emr_type ? std::to_string(*t.emr_type) : std::string("NULL")) + ", " +
        std::to_string(t.superior_sign_flag) + ", " + std::to_string(t.print_flag) + ")");
  }
  void AddRecord(const RecordColumns& r) {
    Run("INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, TEMPLATE_ID, "
        "EMR_TYPE, SORT_CODE, STATUS) VALUES (" +
        schema::SqlText(r.id) + ", " + schema::SqlText(r.patient_id) + ", " +
        schema::SqlText(r.event_no) + ", " + std::to_string(r.catalog) + ", 1, " +
        std::to_string(r.emr_type) + ", " + schema::SqlText(r.sort) + ", " +
        std::to_string(r.status) + ")");
  }
  // Stores `units` as the record's content through the codecs, as the store writes it.
  void StoreContent(const std::string& id, const std::u16string& units, int compression = 0,
                    int encryption = 0) {
    data_source_.WriteBlob(
        u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + FromUtf8(id) + u"'",
        reinterpret_cast<const BYTE*>(units.data()), static_cast<ULONG>(units.size() * 2),
        compression, encryption, true);
    Run("UPDATE TELV_EMR_CONTENT SET COMPRESSION = " + std::to_string(compression) +
        ", ENCRYPTION = " + std::to_string(encryption) + " WHERE ID = '" + id + "'");
  }
  // The CONTENT bytes as stored, before any codec.
  std::string StoredBytes(const std::u16string& id) {
    BYTE* bytes = nullptr;
    ULONG length = 0;
    data_source_.ReadBlob(u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + id + u"'", bytes,
                          length, 0, 0, false);
    std::string stored(reinterpret_cast<const char*>(bytes), length);
    delete[] bytes;
    return stored;
  }
  // One column of the record's row.
  std::u16string Column(const std::u16string& id, const std::u16string& column) {
    return Scalar(u"SELECT " + column + u" FROM TELV_EMR_CONTENT WHERE ID = '" + id + u"'");
  }
  int RecordCount() { return std::stoi(ToUtf8(Scalar(u"SELECT COUNT(*) FROM TELV_EMR_CONTENT"))); }

  // SaveEmrDocument of the visit with the page `text` in the hand-over form: the new id.
  std::u16string Save(const std::u16string& properties, const std::u16string& text = Page(),
                      const std::u16string& patient = u"P1", const std::u16string& event = u"E1") {
    com::ScopedBstr patient_id(patient), event_no(event), property(properties), client(u"<root/>"),
        new_id, content;
    *content.out() = PackEmrContent(text);
    SaveEmrDocument(&data_source_, patient_id.get(), event_no.get(), property.get(), client.get(),
                    content.get(), new_id.out());
    return new_id.text();
  }
  std::u16string SaveFailure(const std::u16string& properties) {
    return korvalis::testing::FailureOf([&] { Save(properties); });
  }
  // UpdateEmrContent of the record with the page `text` (hand-over form).
  void Update(const std::u16string& id, const std::u16string& text,
              const std::u16string& client_info = u"") {
    com::ScopedBstr emr_id(id), client(client_info), content;
    *content.out() = PackEmrContent(text);
    UpdateEmrContent(&data_source_, emr_id.get(), content.get(), client.get());
  }
  // LoadEmrContent of the record: the text of its hand-over form.
  std::u16string Load(const std::u16string& id) {
    com::ScopedBstr emr_id(id), content;
    LoadEmrContent(&data_source_, emr_id.get(), content.out());
    return UnpackEmrContent(content.get());
  }

  // True when a file of the file log holds `text`.
  static bool FileLogHolds(const std::u16string& text) {
    const std::string wanted = ToUtf8(text);
    if (!std::filesystem::exists(filelog::LogFolder())) return false;
    for (const auto& file : std::filesystem::directory_iterator(filelog::LogFolder())) {
      std::ifstream in(file.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      if (bytes.str().find(wanted) != std::string::npos) return true;
    }
    return false;
  }

  QualityBodyRecorder quality_;
  datasource::testing::EventLogCapture events_;
};

}  // namespace korvalis::emrdoc::testing
