// Test fixture of the record library's content access, joined browse and browse catalogue: the
// record store's fixture (one rolled-back writing call on the process's EMR database, the
// sibling doubles, the clock at kNow) with the patient P1, its visit E1 open (FORBID_FLAG "0")
// and frozen (EMR_STATUS "1", so that records load as stored), template 1, and helpers that
// write catalogues and records with their content.
//
//   AddBrowseCatalog({.id = 3, .code = "001001", .parent = "001"});
//   AddRecordWithContent("R1", 3, u"<P>一</P>");
//   std::u16string joined = Browse(0);
//
// Thread-safety: one test thread.
#pragma once

#include <string>

#include "archive/emr_library.h"
#include "emrdoc/testing/record_store_fixture.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::archive::testing {

struct BrowseCatalogColumns {  // TELV_EMR_CATALOG
  int id;
  std::string code;
  std::string parent = "###";
  int system_flag = 1;
  int sort = 0;           // 0: the id
  std::string name = "";  // "": "类别" and the id
  int status = 1;
};

class RecordAccessTest : public emrdoc::testing::RecordStoreTest {
 protected:
  RecordAccessTest() {
    Run(emrdoc::testing::PatientInsertSql({}));
    Run(emrdoc::testing::VisitInsertSql({}));
    SetSealFlag("0");
    AddTemplate({});
  }

  void SetSealFlag(const std::string& flag) {
    Run("UPDATE TELV_VISIT_RECORD SET FORBID_FLAG = " + schema::SqlText(flag));
  }

  void AddBrowseCatalog(const BrowseCatalogColumns& c) {
    Run("INSERT INTO TELV_EMR_CATALOG (ID, CODE, NAME, PARENT_CODE, SYSTEM_FLAG, STATUS, "
        "SORT_CODE) VALUES (" +
        std::to_string(c.id) + ", " + schema::SqlText(c.code) + ", " +
        schema::SqlText(c.name.empty() ? "类别" + std::to_string(c.id) : c.name) + ", " +
        schema::SqlText(c.parent) + ", " + std::to_string(c.system_flag) + ", " +
        std::to_string(c.status) + ", " + std::to_string(c.sort == 0 ? c.id : c.sort) + ")");
  }

  // A live record of P1/E1 in `catalog` holding `text` (none when empty), stored as the record
  // store writes it; `sort` orders it within the catalogue.
  void AddRecordWithContent(const std::string& id, int catalog, const std::u16string& text,
                            const std::string& sort = "00001", int status = 1) {
    AddRecord({.id = id, .catalog = catalog, .sort = sort, .status = status});
    if (!text.empty()) StoreContent(id, text);
  }

  // The answer of a body that writes one text, or the failure's message as "!message"; a
  // failing body must leave the result unset.
  template <class Body>
  std::u16string Answer(Body&& body) {
    BSTR result = nullptr;
    const std::u16string failure = korvalis::testing::FailureOf([&] { body(&result); });
    com::ScopedBstr owned;
    *owned.out() = result;
    if (!failure.empty()) {
      EXPECT_EQ(result, nullptr) << "a failed call handed out a text";
      return u"!" + failure;
    }
    EXPECT_NE(result, nullptr);
    return owned.text();
  }

  // BrowseEMR and UnLimitBrowseEMR of the visit (P1/E1 unless given).
  std::u16string Browse(LONG catalog, const std::u16string& patient = u"P1",
                        const std::u16string& event = u"E1") {
    com::ScopedBstr patient_id(patient), event_no(event);
    return Answer([&](BSTR* out) {
      CBEMRLibrary::BrowseEMR(&data_source_, patient_id.get(), event_no.get(), catalog, out);
    });
  }
  std::u16string UnlimitedBrowse(LONG catalog, const std::u16string& patient = u"P1",
                                 const std::u16string& event = u"E1") {
    com::ScopedBstr patient_id(patient), event_no(event);
    return Answer([&](BSTR* out) {
      CBEMRLibrary::UnLimitBrowseEMR(&data_source_, patient_id.get(), event_no.get(), catalog, out);
    });
  }
};

}  // namespace korvalis::archive::testing
