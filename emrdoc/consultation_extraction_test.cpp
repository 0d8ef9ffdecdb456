// The consultation requests extracted from consultation sheets on save and update: the row and
// its deadline, sheets that cannot be read (a warning, the previous row kept, the save done),
// the timeout parameter, and texts stored as written or trimmed.
#include "emrdoc/consultation_extraction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emrdoc/testing/template_fixture.h"
#include "foundation/text/string_util.h"

namespace korvalis::emrdoc::testing {
namespace {

constexpr char16_t kFrame[] =
    u"<consultation><request><doctor xid=\"rd\"/><dept xid=\"rp\"/></request><consult>"
    u"<doctor xid=\"cd\"/><dept xid=\"cp\"/><time xid=\"ct\"/><notes xid=\"cn\"/></consult>"
    u"</consultation>";
constexpr char16_t kClient[] = u"<root><user id='D01'>李医生</user></root>";

struct Sheet {
  std::u16string request_doctor = u"王医生";
  std::u16string request_dept = u"心血管内科";
  std::u16string consult_doctor = u"李主任";
  std::u16string consult_dept = u"神经内科";
  std::u16string time = u"2026-12-01 12:00";
  std::u16string notes = u"请会诊";
};

// The page of a consultation sheet, long enough for an update.
std::u16string SheetPage(const Sheet& sheet) {
  return u"<HTML><HEAD></HEAD><BODY><P>" + std::u16string(800, u'述') + u"</P><SPAN xid=rd>" +
         sheet.request_doctor + u"</SPAN><SPAN xid=rp>" + sheet.request_dept +
         u"</SPAN><SPAN xid=cd>" + sheet.consult_doctor + u"</SPAN><SPAN xid=cp>" +
         sheet.consult_dept + u"</SPAN><SPAN xid=ct>" + sheet.time + u"</SPAN><SPAN xid=cn>" +
         sheet.notes + u"</SPAN></BODY></HTML>";
}

class ConsultationTest : public TemplateTest {
 protected:
  ConsultationTest() {
    AddTemplate({.id = 4, .emr_type = 4});
    SetTemplateContent(4, 2, kFrame);
    SetParameter("system_consultation_timeout", "48");
  }

  std::u16string SaveSheet(const Sheet& sheet = {}) {
    return Save(u"<root><catalog>1</catalog><template>4</template></root>", SheetPage(sheet));
  }
  // The record's consultation rows: request date, request dept and doctor, consultation date,
  // deadline, consultation dept and doctor, notes, status, patient, visit.
  std::vector<std::vector<std::u16string>> Rows(const std::u16string& id) {
    std::vector<std::u16string> values;
    data_source_.Query(
        u"SELECT REQUEST_DATE, REQUEST_DEPT, REQUEST_DOCTOR, CONSULT_DATE, "
        u"END_DATE, CONSULT_DEPT, CONSULT_DOCTOR, NOTES, STATUS, PATIENT_ID, "
        u"EVENT_NO FROM TELV_CONSULTATION_EMR WHERE EMR_ID = '" +
            id + u"'",
        11, values);
    std::vector<std::vector<std::u16string>> rows;
    for (std::size_t i = 0; i < values.size(); i += 11) {
      rows.emplace_back(values.begin() + i, values.begin() + i + 11);
    }
    return rows;
  }
  // The deadline of the record's one row.
  std::u16string Deadline(const std::u16string& id) {
    const auto rows = Rows(id);
    return rows.size() == 1 ? rows[0][4]
                            : u"(" + ::IntToString(static_cast<int>(rows.size())) + u" rows)";
  }
};

TEST_F(ConsultationTest, ASavedSheetBecomesItsRequestDueAtTheDeadline) {
  const std::u16string id = SaveSheet();
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(Rows(id),
            (std::vector<std::vector<std::u16string>>{
                {kNow, u"心血管内科", u"王医生", u"2026-12-03 12:00:00", u"2026-12-03 12:00:00",
                 u"神经内科", u"李主任", u"请会诊", u"1", u"P1", u"E1"}}));
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(ConsultationTest, AnUpdateReplacesTheRowOnlyWithAClientIdentity) {
  const std::u16string id = SaveSheet();
  Update(id, SheetPage({.time = u"2026/12/05 08:30"}), kClient);
  EXPECT_EQ(Deadline(id), u"2026-12-07 08:30:00");
  Update(id, SheetPage({.time = u"2026-12-09 08:30"}));
  EXPECT_EQ(Deadline(id), u"2026-12-07 08:30:00");
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(ConsultationTest, ARecordOfAnotherTypeIsLeftAlone) {
  AddTemplate({.id = 2, .emr_type = 2});
  SetTemplateContent(2, 2, kFrame);
  AddRecordWithPage("R2", 2, 2, SheetPage({}));
  Run("INSERT INTO TELV_CONSULTATION_EMR (EMR_ID, STATUS) VALUES ('R2', 9)");
  Update(u"R2", SheetPage({}), kClient);
  EXPECT_EQ(Rows(u"R2").size(), 1u);
  EXPECT_EQ(Rows(u"R2")[0][8], u"9");
  EXPECT_EQ(Column(u"R2", u"XML"), u"");  // not even converted
}

TEST_F(ConsultationTest, ASheetThatCannotBeReadWarnsAndKeepsThePreviousRow) {
  const struct {
    const char* name;
    std::u16string frame;
    Sheet sheet;
    const char16_t* warning;
  } kCases[] = {
      {"empty XML", u"", {}, kConsultationSheetFailedMessage},
      {"two requests",
       u"<c><request><doctor xid=\"rd\"/><dept xid=\"rp\"/></request><request/><consult>"
       u"<time xid=\"ct\"/></consult></c>",
       {},
       kConsultationRequestFailedMessage},
      {"no request",
       u"<c><consult><time xid=\"ct\"/></consult></c>",
       {},
       kConsultationRequestFailedMessage},
      {"a request doctor of blanks",
       kFrame,
       {.request_doctor = u"   "},
       kConsultationRequestFailedMessage},
      {"a request department of blanks",
       u"<c><request><doctor>王</doctor><dept> </dept>"
       u"</request><consult/></c>",
       {},
       kConsultationRequestFailedMessage},
      {"two consultations",
       u"<c><request><doctor>王</doctor><dept>内科</dept></request><consult/><x><consult/></x>"
       u"</c>",
       {},
       kConsultationFailedMessage},
      {"a time that does not parse", kFrame, {.time = u"明天中午"}, kConsultationTimeFailedMessage},
      {"a day that does not exist",
       kFrame,
       {.time = u"2026-02-30 12:00"},
       kConsultationTimeFailedMessage},
  };
  const std::u16string id = SaveSheet();
  const auto previous = Rows(id);
  ASSERT_EQ(previous.size(), 1u);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    events_.Clear();
    SetTemplateContent(4, 2, c.frame);
    const std::u16string page = SheetPage(c.sheet);
    Update(id, page, kClient);
    EXPECT_EQ(Load(id), page);  // the update itself is done
    EXPECT_EQ(Rows(id), previous);
    EXPECT_EQ(Warnings(), std::vector<std::u16string>{c.warning});
  }
  // A new sheet that cannot be read is saved without a request.
  const std::u16string unread = SaveSheet({.time = u"下周"});
  EXPECT_FALSE(unread.empty());
  EXPECT_TRUE(Rows(unread).empty());
}

TEST_F(ConsultationTest, WithoutATimeoutTheDeadlineIsTheConsultationTimeUntilOneIsSet) {
  for (const std::optional<std::string>& unusable :
       std::vector<std::optional<std::string>>{std::nullopt, "", "两天", "4.5"}) {
    SCOPED_TRACE(unusable.value_or("NULL"));
    SetParameter("system_consultation_timeout", unusable);
    events_.Clear();
    const std::u16string id = SaveSheet();
    EXPECT_EQ(Rows(id)[0][3], u"2026-12-01 12:00:00");
    EXPECT_EQ(Rows(id)[0][4], u"2026-12-01 12:00:00");
    EXPECT_EQ(Warnings(), std::vector<std::u16string>{kConsultationTimeoutMissingMessage});
  }
  SetParameter("system_consultation_timeout", " 24 ");
  EXPECT_EQ(Deadline(SaveSheet()), u"2026-12-02 12:00:00");
  // Kept for the process once read.
  SetParameter("system_consultation_timeout", "48");
  EXPECT_EQ(Deadline(SaveSheet()), u"2026-12-02 12:00:00");
}

TEST_F(ConsultationTest, RequestTextsAreStoredAsWrittenConsultationNamesTrimmed) {
  SetTemplateContent(
      4, 2,
      u"<consultation><consult><doctor>甲</doctor><doctor>  李 主任 </doctor><dept>  神经内科  "
      u"</dept><time>2026年12月1日 12:00</time><notes>家属'同意'，\"尽快\"</notes></consult>"
      u"<section><request><doctor> 王 医生 </doctor><dept>心血管内科</dept></request></section>"
      u"</consultation>");
  const auto rows = Rows(SaveSheet());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][2], u" 王 医生 ");
  EXPECT_EQ(rows[0][5], u"神经内科");
  EXPECT_EQ(rows[0][6], u"李 主任");  // the later of two doctors
  EXPECT_EQ(rows[0][7], u"家属'同意'，\"尽快\"");
  EXPECT_EQ(rows[0][4], u"2026-12-03 12:00:00");
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
