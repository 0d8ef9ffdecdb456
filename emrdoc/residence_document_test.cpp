#include "emrdoc/residence_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "lookups/visit_lookups.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::kGetInOutInfo;
using korvalis::emrdoc::testing::kGetResidenceNo;
using korvalis::emrdoc::testing::kIsDischarged;
using korvalis::emrdoc::testing::PatientVisitTest;
using korvalis::emrdoc::testing::VisitColumns;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;
using xercesc::DOMElement;

constexpr char16_t kDeclaration[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>";

// Name, text and attributes `id` and `time` ("-" when absent) of each element child.
std::vector<std::u16string> Children(const DOMElement* parent) {
  std::vector<std::u16string> lines;
  for (const DOMElement* child : ElementChildren(parent)) {
    std::u16string line = ElementName(child) + u"=" + TextContent(child);
    for (const char16_t* name : {u"id", u"time"}) {
      line += u"|";
      line += child->hasAttribute(name) ? ElementAttribute(child, name) : u"-";
    }
    lines.push_back(line);
  }
  return lines;
}

class ResidenceDocumentTest : public PatientVisitTest {
 protected:
  ResidenceDocumentTest() { doubles_.Answer(IID_IHISPatientInfo, kGetResidenceNo, u"Z0001"); }

  std::u16string ResidenceXml(const char16_t* patient = u"P1", const char16_t* event = u"E1") {
    auto source = Source();
    ScopedBstr patient_id(patient), event_no(event), xml;
    EXPECT_EQ(BuildResidenceXml(&source, patient_id.get(), event_no.get(), xml.out()), 0);
    return xml.text();
  }

  void ScriptInOut(std::u16string reply, bool discharged = false) {
    doubles_.Answer(IID_IHISPatientInfo, kGetInOutInfo, std::move(reply));
    doubles_.Answer(IID_IHISPatientInfo, kIsDischarged, discharged ? u"1" : u"0");
  }
};

TEST_F(ResidenceDocumentTest, VisitKeptHereAsksTheHisOnlyForTheResidenceNumber) {
  AddVisit({.residence_flag = "0"});
  SetToday(u"2009-03-03 10:00:00");
  EXPECT_EQ(
      ResidenceXml(),
      std::u16string(kDeclaration) +
          u"<root><in><time>2009-03-01 08:30:00</time>"
          u"<dept id=\"0101\" time=\"\">心血管内科</dept><room>12病房</room><bed>12</bed></in>"
          u"<now><warddept/><dept id=\"0102\">呼吸内科</dept><room>12病房</room>"
          u"<bed>12</bed></now><dayByDeptIn/>"
          u"<out><time/><dept id=\"\"/><room>12病房</room><bed>12</bed></out>"
          u"<event>E1</event><serial>2</serial>"
          u"<insurance type=\"城镇职工\">YB0001</insurance><archive>Z0001</archive>"
          u"<day>2</day></root>");
  EXPECT_EQ(HisSlots(), std::vector<int>{kGetResidenceNo});
  // The stay is counted to today's date from the date-time component.
  EXPECT_EQ(doubles_.Calls(IID_IDateTimeService).size(), 1u);
}

TEST_F(ResidenceDocumentTest, VisitKeptInTheHisTakesItsWardItsDeptTimeAndItsOnlyDischarge) {
  AddVisit({.residence_flag = "1"});
  SetToday(u"2009-03-05 11:00:00");
  ScriptInOut(
      u"<root><in><bed>3</bed><dept id=\"H01\" time=\"2009-03-02 09:00:00\">内科</dept>"
      u"<dept time=\"2009-03-04 09:00:00\"/></in>"
      u"<warddept id=\"W1\">一病区</warddept>"
      u"<out a=\"1\"><time>2009-03-05 10:00:00</time><dept id=\"0102\">呼吸内科</dept>"
      u"<event>HIS-E</event></out></root>",
      true);
  CHISAnswer document(ResidenceXml());
  const DOMElement* root = document.GetRoot();
  EXPECT_EQ(Children(root),
            (std::vector<std::u16string>{
                u"in=2009-03-01 08:30:00心血管内科12病房12|-|-", u"now=一病区呼吸内科12病房12|-|-",
                u"dayByDeptIn=3|-|-", u"out=2009-03-05 10:00:00呼吸内科HIS-E|-|-", u"event=E1|-|-",
                u"serial=2|-|-", u"insurance=YB0001|-|-", u"archive=Z0001|-|-", u"day=4|-|-"}));
  EXPECT_EQ(Children(document.FindFirst(u"in"))[1], u"dept=心血管内科|0101|2009-03-02 09:00:00");
  EXPECT_EQ(Children(document.FindFirst(u"now"))[0], u"warddept=一病区|W1|-");
  // The HIS's `out` is copied whole, with nothing of the visit's row under it.
  const DOMElement* out = document.FindFirst(u"out");
  EXPECT_EQ(Children(out),
            (std::vector<std::u16string>{u"time=2009-03-05 10:00:00|-|-", u"dept=呼吸内科|0102|-",
                                         u"event=HIS-E|-|-"}));
  EXPECT_EQ(ElementAttribute(out, u"a"), u"1");
  EXPECT_EQ(HisSlots(),
            (std::vector<int>{kGetInOutInfo, kIsDischarged, kGetInOutInfo, kGetResidenceNo}));
}

TEST_F(ResidenceDocumentTest, DischargeOfTheVisitRowUnlessTheHisGivesExactlyOneOut) {
  AddVisit({.residence_flag = "1"});
  const std::u16string local_out = u"out=12病房12|-|-";
  // Two `out` elements in the reply.
  ScriptInOut(
      u"<root><in><dept time=\"2009-03-01\"/></in><out><time>t1</time></out>"
      u"<x><out><time>t2</time></out></x></root>",
      true);
  EXPECT_EQ(Children(CHISAnswer(ResidenceXml()).GetRoot())[3], local_out);
  // The HIS says the visit is not discharged: it is not asked for the in-out data again.
  doubles_.ClearCalls();
  ScriptInOut(u"<root><out><time>t1</time></out></root>", false);
  EXPECT_EQ(Children(CHISAnswer(ResidenceXml()).GetRoot())[2], local_out);
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetInOutInfo, kIsDischarged, kGetResidenceNo}));
  // A visit discharged in the visit row is not asked whether it is discharged.
  database_.Execute(
      "UPDATE TELV_VISIT_RECORD SET OUT_TIME = TO_DATE('2009-03-04 09:00:00', "
      "'YYYY-MM-DD HH24:MI:SS'), OUT_DEPT_ID = '0102', OUT_DEPT_NAME = '呼吸内科'");
  doubles_.ClearCalls();
  CHISAnswer discharged(ResidenceXml());
  EXPECT_EQ(Children(discharged.FindFirst(u"out")),
            (std::vector<std::u16string>{u"time=2009-03-04 09:00:00|-|-", u"dept=呼吸内科|0102|-",
                                         u"room=12病房|-|-", u"bed=12|-|-"}));
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetInOutInfo, kGetResidenceNo}));
}

TEST_F(ResidenceDocumentTest, HisRepliesWithoutTheElementsLookedForAddNothing) {
  AddVisit({.residence_flag = "1"});
  SetToday(u"2009-03-03 10:00:00");
  const std::vector<std::u16string> replies = {
      u"<root><in><bed>3</bed></in><warddept id=\"W1\">一病区</warddept></root>",  // no dept
      u"<root><warddept id=\"W1\">一病区</warddept></root>",                       // no in
      u"<root><in><dept time=\"2009-03-02\">",                                     // cut off
      u"",
  };
  for (std::size_t i = 0; i < replies.size(); ++i) {
    ScriptInOut(replies[i], true);
    CHISAnswer document(ResidenceXml());
    ASSERT_NE(document.GetRoot(), nullptr) << i;
    EXPECT_EQ(Children(document.FindFirst(u"in"))[1], u"dept=心血管内科|0101|-") << i;
    EXPECT_EQ(document.FindFirst(u"dayByDeptIn"), nullptr) << i;
    EXPECT_EQ(Children(document.FindFirst(u"now"))[0],
              i < 2 ? u"warddept=一病区|W1|-" : u"warddept=|-|-")
        << i;
    EXPECT_EQ(Children(document.FindFirst(u"out")).size(), 4u) << i;
    EXPECT_EQ(TextContent(document.FindFirst(u"day")), u"2") << i;
  }
}

TEST_F(ResidenceDocumentTest, DaysInHospitalCountWholeDaysFromTheAdmissionDate) {
  AddVisit({.out_time = "2009-03-01 17:00:00"});
  EXPECT_EQ(TextContent(CHISAnswer(ResidenceXml()).FindFirst(u"day")), u"1");
  database_.Execute(
      "UPDATE TELV_VISIT_RECORD SET OUT_TIME = TO_DATE('2009-03-04 09:00:00', "
      "'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(TextContent(CHISAnswer(ResidenceXml()).FindFirst(u"day")), u"3");
  // An end before the start is no count at all.
  database_.Execute(
      "UPDATE TELV_VISIT_RECORD SET OUT_TIME = TO_DATE('2009-02-25 10:00:00', "
      "'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(TextContent(CHISAnswer(ResidenceXml()).FindFirst(u"day")), u"");
  // The clock is asked only for a stay that has not ended.
  EXPECT_TRUE(doubles_.Calls(IID_IDateTimeService).empty());

  EXPECT_EQ(DayCountText(u"2009-03-02 00:00:00", u"2009-03-01 23:59:59"), u"1");
  EXPECT_EQ(DayCountText(u"2009-03-03", u"2009-03-01T08:00"), u"2");
  EXPECT_EQ(DayCountText(u"2009-02-28 23:00:00", u"2009-03-01 08:00:00"), u"1");
  EXPECT_EQ(DayCountText(u"2009-02-27 23:00:00", u"2009-03-01 08:00:00"), u"");
  EXPECT_EQ(DayCountText(u"2009-03-03", u""), u"");
  EXPECT_EQ(DayCountText(u"", u"2009-03-01"), u"");
  EXPECT_EQ(DayCountText(u"2009-03-03", u"yesterday"), u"");
}

TEST_F(ResidenceDocumentTest, TextsAreEscapedAndQuotedIdentifiersFindTheirVisit) {
  AddVisit({.patient_id = "P'1", .event_no = "E'1", .now_dept_name = "内科&外科<一>"});
  CHISAnswer document(ResidenceXml(u"P'1", u"E'1"));
  EXPECT_EQ(Children(document.FindFirst(u"now"))[1], u"dept=内科&外科<一>|0102|-");
  EXPECT_EQ(TextContent(document.FindFirst(u"event")), u"E'1");
  EXPECT_NE(ResidenceXml(u"P'1", u"E'1").find(u"内科&amp;外科&lt;一&gt;"), std::u16string::npos);
  EXPECT_EQ(doubles_.Calls(IID_IHISPatientInfo)[0].args,
            (std::vector<std::u16string>{u"P'1", u"E'1"}));
}

TEST_F(ResidenceDocumentTest, VisitWithoutARowAnswersOneAndWritesNothing) {
  auto source = Source();
  ScopedBstr patient_id(u"P1"), event_no(u"E9");
  BSTR untouched = patient_id.get();
  EXPECT_EQ(BuildResidenceXml(&source, patient_id.get(), event_no.get(), &untouched), 1);
  EXPECT_EQ(untouched, patient_id.get());
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
}

TEST_F(ResidenceDocumentTest, FailingHisCallsEndTheDocumentWithTheirDescription) {
  AddVisit({.residence_flag = "1"});
  auto failure = [this] {
    auto source = Source();
    ScopedBstr patient_id(u"P1"), event_no(u"E1");
    BSTR untouched = nullptr;
    std::u16string text = FailureOf(
        [&] { BuildResidenceXml(&source, patient_id.get(), event_no.get(), &untouched); });
    EXPECT_EQ(untouched == nullptr, !text.empty());
    SysFreeString(untouched);
    return text;
  };
  // Each failure is queued behind answers already used, so that it is the next answer.
  doubles_.Fail(IID_IHISPatientInfo, kGetInOutInfo, E_FAIL, u"HIS连接中断");
  EXPECT_EQ(failure(), u"HIS连接中断");
  doubles_.Answer(IID_IHISPatientInfo, kGetInOutInfo, u"<root/>");
  doubles_.Fail(IID_IHISPatientInfo, kIsDischarged, E_FAIL);
  EXPECT_EQ(failure(), kUnknownSystemError);
  doubles_.Answer(IID_IHISPatientInfo, kIsDischarged, u"0");
  EXPECT_EQ(failure(), u"");
  doubles_.Fail(IID_IHISPatientInfo, kGetResidenceNo, E_FAIL, u"无住院号");
  EXPECT_EQ(failure(), u"无住院号");
  doubles_.Fail(IID_IDateTimeService, 7, E_FAIL, u"时钟不可用");
  EXPECT_EQ(failure(), u"时钟不可用");
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISPatientInfo));
  EXPECT_EQ(failure(), kCreateComponentError);
}

TEST_F(PatientVisitTest, VisitLookupsAnswerTheRowOrTheirEmptyValues) {
  AddVisit({.residence_flag = "1"});
  AddVisit({.patient_id = "P2", .event_no = "E'2", .in_time = std::nullopt, .residence_flag = "0"});
  AddVisit({.patient_id = "P3", .residence_flag = "2"});
  AddVisit({.patient_id = "P4", .residence_flag = std::nullopt});
  auto source = Source();
  auto state_of = [&source](const char16_t* patient, const char16_t* event) {
    ScopedBstr patient_id(patient), event_no(event);
    int state = -1;
    EXPECT_EQ(GetResidenceState(&source, patient_id.get(), event_no.get(), &state), 0);
    return state;
  };
  EXPECT_EQ(state_of(u"P1", u"E1"), kResidenceInHis);
  EXPECT_EQ(state_of(u"P2", u"E'2"), kResidenceLocal);
  EXPECT_EQ(state_of(u"P3", u"E1"), kResidenceUnknown);
  EXPECT_EQ(state_of(u"P4", u"E1"), kResidenceUnknown);
  EXPECT_EQ(state_of(u"P9", u"E1"), kResidenceUnknown);

  ScopedBstr p1(u"P1"), e1(u"E1"), p2(u"P2"), e2(u"E'2"), p9(u"P9");
  ScopedBstr dept, no_dept, time, no_time, null_time;
  EXPECT_EQ(GetNowDeptId(&source, p1.get(), e1.get(), dept.out()), 0);
  EXPECT_EQ(dept.text(), u"0102");
  EXPECT_EQ(GetNowDeptId(&source, p9.get(), e1.get(), no_dept.out()), 0);
  ASSERT_NE(no_dept.get(), nullptr);
  EXPECT_EQ(no_dept.text(), u"");
  EXPECT_EQ(GetNowDeptId(&source, p1.get(), e1.get(), nullptr), 0);
  GetAdmissionTime(&source, p1.get(), e1.get(), time.out());
  EXPECT_EQ(time.text(), u"2009-03-01 08:30:00");
  GetAdmissionTime(&source, p9.get(), e1.get(), no_time.out());
  ASSERT_NE(no_time.get(), nullptr);
  EXPECT_EQ(no_time.text(), u"");
  GetAdmissionTime(&source, p2.get(), e2.get(), null_time.out());
  EXPECT_EQ(null_time.text(), u"");
}

}  // namespace
