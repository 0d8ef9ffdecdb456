// Test fixture of the templates, the records made from them, the record XML and the consultation
// extraction: the record store's fixture (one rolled-back writing call on the process's EMR
// database, the sibling doubles, the clock at kNow) with the process-wide default style sheet
// and consultation timeout forgotten before and after each case, templates written with their
// contents, and the patient P1 with the visit E1 (RESIDENCE_FLAG "0", EMR_STATUS "1": its
// records load as stored).
//
//   AddTemplate({.id = 2, .emr_type = 2});
//   SetTemplateContent(2, 2, u"<root><name xid=\"n\"/></root>");
//   AddRecordWithPage("R1", 2, 2, u"<HTML><BODY><SPAN xid=n>张三</SPAN></BODY></HTML>");
//   std::u16string xml = EmrXml(u"R1");
//
// Thread-safety: one test thread.
#pragma once

#include <string>
#include <vector>

#include "emrdoc/consultation_extraction.h"
#include "emrdoc/emr_from_template.h"
#include "emrdoc/emr_template.h"
#include "emrdoc/emr_xml.h"
#include "emrdoc/testing/record_store_fixture.h"
#include "foundation/log/event_log_entry.h"

namespace korvalis::emrdoc::testing {

// Slots of the HIS patient-information component's order sheets.
inline constexpr int kGetLongTermOrders = 15;
inline constexpr int kGetTemporaryOrders = 16;

class TemplateTest : public RecordStoreTest {
 protected:
  TemplateTest() {
    ForgetKeptParameters();
    AddPatientVisit();
    AddCatalog({});
  }
  ~TemplateTest() override { ForgetKeptParameters(); }

  static void ForgetKeptParameters() {
    DefaultStyleSheet().Clear();
    ConsultationTimeout().Clear();
  }

  // Stores `text` as content `index` of template `id` through the compression `compression`
  // and writes that type number into COMPRESSIONi.
  void SetTemplateContent(int id, int index, const std::u16string& text, int compression = 0) {
    const std::string number = std::to_string(index), where = " WHERE ID = " + std::to_string(id);
    Run("UPDATE TELV_EMR_TEMPLATE SET COMPRESSION" + number + " = '" + std::to_string(compression) +
        "'" + where);
    data_source_.WriteBlob(FromUtf8("SELECT CONTENT" + number + " FROM TELV_EMR_TEMPLATE" + where),
                           reinterpret_cast<const BYTE*>(text.data()),
                           static_cast<ULONG>(text.size() * 2), compression, 0, true);
  }
  // A record of the visit P1/E1 made from `template_id`, with `page` stored without codecs.
  void AddRecordWithPage(const std::string& id, int template_id, int emr_type,
                         const std::u16string& page) {
    Run("INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, TEMPLATE_ID, "
        "EMR_TYPE, SORT_CODE, STATUS) VALUES ('" +
        id + "', 'P1', 'E1', 1, " + std::to_string(template_id) + ", " + std::to_string(emr_type) +
        ", '00001', 1)");
    if (!page.empty()) StoreContent(id, page);
  }
  // A live record of `emr_type` made on `create_date` whose XML is `xml` (stored as built).
  void AddRecordWithXml(const std::string& id, int emr_type, const std::u16string& xml,
                        const std::string& create_date = "2009-03-01 08:00:00") {
    AddRecordWithPage(id, 1, emr_type, u"");
    Run("UPDATE TELV_EMR_CONTENT SET CREATE_DATE = " + korvalis::schema::SqlDate(create_date) +
        " WHERE ID = '" + id + "'");
    if (xml.empty()) return;
    std::u16string units = u"\xFEFF" + xml;
    data_source_.WriteBlob(u"SELECT XML FROM TELV_EMR_CONTENT WHERE ID = '" + FromUtf8(id) + u"'",
                           reinterpret_cast<const BYTE*>(units.data()),
                           static_cast<ULONG>(units.size() * 2), 0, 0, true);
  }

  void SetVisit(const std::string& residence_flag, const std::string& emr_status = "1") {
    Run("UPDATE TELV_VISIT_RECORD SET RESIDENCE_FLAG = " + residence_flag +
        ", EMR_STATUS = " + emr_status + " WHERE PATIENT_ID = 'P1'");
  }

  // The text of the hand-over form CreateEmrFromTemplate answers for the visit P1/E1.
  std::u16string Create(LONG template_id) {
    com::ScopedBstr patient(u"P1"), event(u"E1"), content;
    CreateEmrFromTemplate(&data_source_, template_id, patient.get(), event.get(), content.out());
    return UnpackEmrContent(content.get());
  }
  // GetEmrXml of the record.
  std::u16string EmrXml(const std::u16string& id) {
    com::ScopedBstr emr_id(id), xml;
    GetEmrXml(&data_source_, emr_id.get(), xml.out());
    return xml.text();
  }

  // The texts of the warnings in the event log.
  std::vector<std::u16string> Warnings() const {
    std::vector<std::u16string> texts;
    for (const auto& record : events_.Records()) {
      if (record.type == CEventLogEntry::kWarning) texts.push_back(record.text);
    }
    return texts;
  }
};

}  // namespace korvalis::emrdoc::testing
