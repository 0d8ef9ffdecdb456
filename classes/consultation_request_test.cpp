// A consultation sheet written by the requesting doctor reaches the consultant's work list and
// stays there until the deadline of the consultation, not only until its hour.
#include <gtest/gtest.h>

#include <string>

#include "classes/work_lists.h"
#include "db/testing/test_database.h"
#include "emrdoc/consultation_extraction.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "foundation/calls/call_scope.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::com::ScopedBstr;

constexpr char kFrame[] =
    "<consultation><request><doctor xid=\"rd\"/><dept xid=\"rp\"/></request><consult>"
    "<doctor xid=\"cd\"/><dept xid=\"cp\"/><time xid=\"ct\"/><notes xid=\"cn\"/></consult>"
    "</consultation>";

class ConsultationWorkListTest : public ::testing::Test {
 protected:
  ConsultationWorkListTest() {
    korvalis::emrdoc::ConsultationTimeout().Clear();
    db_.AddPatient({.id = "P1", .name = "张三"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .emr_status = 1});
    db_.AddTemplate({.id = 4, .emr_type = 4, .contents = {{.index = 2, .text = kFrame}}});
    db_.SetSysParam("system_consultation_timeout", "48");
    emr_id_ = korvalis::FromUtf8(db_.AddRecord({.patient_id = "P1",
                                                .event_no = "E1",
                                                .template_id = 4,
                                                .emr_type = 4,
                                                .title = "会诊申请单"}));
    doubles_.Answer(IID_IDateTimeService, 7, u"2026-11-30 16:00:00");
    doubles_.Answer(IID_IUserProperty, 7, u"<root><name>李主任</name></root>");
    doubles_.Answer(IID_IHISDepartment, 7,
                    u"<root><name>神经内科</name><hospital>1</hospital>"
                    u"</root>");
  }
  ~ConsultationWorkListTest() override { korvalis::emrdoc::ConsultationTimeout().Clear(); }

  // The requesting doctor writes the sheet: the content update of one call, with the client.
  void WriteSheet(const std::u16string& consult_time) {
    const std::u16string page =
        u"<HTML><HEAD></HEAD><BODY><P>" + std::u16string(800, u'述') +
        u"</P><SPAN xid=rd>王医生</SPAN><SPAN xid=rp>心血管内科</SPAN><SPAN xid=cd>李主任</SPAN>"
        u"<SPAN xid=cp> 神经内科 </SPAN><SPAN xid=ct>" +
        consult_time + u"</SPAN><SPAN xid=cn>请会诊</SPAN></BODY></HTML>";
    CCallScope call(CCallScope::Mode::kWriting);
    {
      korvalis::testing::TestDataSource data_source(db_.init_string());
      ScopedBstr id(emr_id_), content, client(u"<root><user id='1002'>王医生</user></root>");
      *content.out() = PackEmrContent(page);
      UpdateEmrContent(&data_source, id.get(), content.get(), client.get());
    }
    call.Commit();
  }
  // Whether the consultant's list at `now` holds the sheet.
  bool Listed(const std::u16string& now) {
    doubles_.Answer(IID_IServerDateTime, 7, now);
    korvalis::testing::TestDataSource data_source(db_.init_string());
    const korvalis::worklist::UniqueBstr list =
        korvalis::worklist::ConsultRequestList(data_source, u"1003", u"0103");
    return korvalis::BstrView(list.get()).find(u"id=\"" + emr_id_ + u"\"") !=
           std::u16string_view::npos;
  }

  korvalis::suite::testing::SiblingDoubles doubles_;
  korvalis::schema::TestDatabase db_;
  std::u16string emr_id_;
};

TEST_F(ConsultationWorkListTest, ARequestStaysListedUntilItsDeadline) {
  WriteSheet(u"2026-12-01 12:00");
  EXPECT_TRUE(Listed(u"2026-11-30 17:00:00"));
  EXPECT_TRUE(Listed(u"2026-12-01 13:00:00"));  // past the hour of the consultation
  EXPECT_TRUE(Listed(u"2026-12-03 11:59:59"));
  EXPECT_FALSE(Listed(u"2026-12-03 12:00:00"));
  // A new hour moves the deadline.
  WriteSheet(u"2026-12-02 12:00");
  EXPECT_TRUE(Listed(u"2026-12-04 11:00:00"));
}

}  // namespace
