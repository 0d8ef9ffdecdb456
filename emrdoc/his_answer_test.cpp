#include "emrdoc/his_answer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::suite::testing::SiblingDoubles;
using xercesc::DOMElement;

// Asks the HIS patient-information component for the visit's diagnoses, as the domains do,
// and reads the answer.
class HISAnswerTest : public ::testing::Test {
 protected:
  // The answer of the component after it was scripted to answer `text`.
  std::u16string DiagnosisAnswer(std::u16string text) {
    doubles_.Answer(IID_IHISPatientInfo, 11, std::move(text));
    IHISPatientInfo* his = nullptr;
    DIDUFactory::Instance()->CreateInstance(IID_IHISPatientInfo, reinterpret_cast<void**>(&his));
    ScopedBstr patient_id(u"P1"), event_no(u"E1"), answer;
    EXPECT_EQ(his->GetDiagnosisInfo(patient_id.get(), event_no.get(), answer.out()), S_OK);
    his->Release();
    return answer.text();
  }

  // Name, text and attribute `icd` of each element child.
  static std::vector<std::u16string> Describe(const DOMElement* parent) {
    std::vector<std::u16string> lines;
    for (const DOMElement* child : ElementChildren(parent)) {
      lines.push_back(ElementName(child) + u":" + TextContent(child) + u":" +
                      ElementAttribute(child, u"icd"));
    }
    return lines;
  }

  SiblingDoubles doubles_;
};

TEST_F(HISAnswerTest, IndentedAnswerWithCommentsReadsAsItsElements) {
  CHISAnswer answer(
      DiagnosisAnswer(u"<?xml version=\"1.0\" encoding=\"gb2312\"?>\n"
                      u"<!-- HIS 诊断接口 -->\n"
                      u"<root>\n"
                      u"  <clinic doctor=\"李四\">\n"
                      u"    <!-- 门诊诊断 -->\n"
                      u"    <diag icd=\"I10\">高血压病</diag>\n"
                      u"    <?audit checked?>\n"
                      u"    <diag icd=\"I25.1\">冠状动脉<b>粥样硬化</b>性心脏病</diag>\n"
                      u"    <diag>未明确</diag>\n"
                      u"  </clinic>\n"
                      u"  <residence doctor=\"王五\" issue=\"1\" confirm=\"2026-12-01\"/>\n"
                      u"  <finish doctor=\"\">\n  </finish>\n"
                      u"</root>\n"));
  ASSERT_NE(answer.GetRoot(), nullptr);
  EXPECT_NE(answer.GetDocument(), nullptr);
  EXPECT_EQ(ElementName(answer.GetRoot()), u"root");
  const DOMElement* clinic = answer.FindFirst(u"clinic");
  EXPECT_EQ(ElementAttribute(clinic, u"doctor"), u"李四");
  // Only elements count: the third child is the third diagnosis.
  EXPECT_EQ(Describe(clinic),
            (std::vector<std::u16string>{u"diag:高血压病:I10",
                                         u"diag:冠状动脉粥样硬化性心脏病:I25.1", u"diag:未明确:"}));
  EXPECT_EQ(ElementChildren(answer.GetRoot()).size(), 3u);
  EXPECT_EQ(ElementAttribute(answer.FindFirst(u"residence"), u"confirm"), u"2026-12-01");
  EXPECT_EQ(ElementChildren(answer.FindFirst(u"finish")).size(), 0u);
  EXPECT_EQ(ElementAttribute(answer.FindFirst(u"finish"), u"missing"), u"");
  EXPECT_EQ(FirstChildElement(answer.GetRoot(), u"residence"), answer.FindFirst(u"residence"));
  EXPECT_EQ(answer.FindFirst(u"Clinic"), nullptr);
  EXPECT_EQ(doubles_.Calls(IID_IHISPatientInfo).size(), 1u);
}

TEST_F(HISAnswerTest, AnswersWithoutADocumentYieldNoElements) {
  const std::u16string answers[] = {
      u"",                                             // empty
      u"  \r\n\t ",                                    // blank
      u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>",  // declaration only
      u"<root><clinic doctor=\"李四\"><diag>高血压",   // cut off
      u"<root><clinic></residence></root>",            // mismatched
      u"高血压病",                                     // plain text
      u"<root/><root/>",                               // two document elements
      u"<!-- 无数据 -->",                              // a comment alone
  };
  for (const std::u16string& text : answers) {
    CHISAnswer answer(DiagnosisAnswer(text));
    EXPECT_EQ(answer.GetRoot(), nullptr) << korvalis::ToUtf8(text);
    EXPECT_EQ(answer.GetDocument(), nullptr);
    EXPECT_EQ(answer.FindFirst(u"clinic"), nullptr);
    EXPECT_EQ(answer.Count(u"root"), 0u);
    EXPECT_TRUE(answer.FindAll(u"root").empty());
    EXPECT_TRUE(ElementChildren(answer.GetRoot()).empty());
    EXPECT_EQ(TextContent(answer.GetRoot()), u"");
    EXPECT_EQ(ElementAttribute(answer.FindFirst(u"clinic"), u"doctor"), u"");
  }
  CHISAnswer null_answer(static_cast<BSTR>(nullptr));
  EXPECT_EQ(null_answer.GetRoot(), nullptr);
}

TEST_F(HISAnswerTest, AnswerWithAByteOrderMarkParses) {
  CHISAnswer answer(DiagnosisAnswer(u"\uFEFF<root><clinic doctor=\"李四\"/></root>"));
  EXPECT_EQ(ElementAttribute(answer.FindFirst(u"clinic"), u"doctor"), u"李四");
}

TEST_F(HISAnswerTest, FindFirstCountAndFindAllSearchTheWholeDocumentInDocumentOrder) {
  CHISAnswer answer(
      std::u16string(u"<residence id=\"0\"><a><b><residence id=\"1\"/></b></a><residence id=\"2\"/>"
                     u"<c><clinic id=\"3\"/></c><clinic id=\"4\"/></residence>"));
  EXPECT_EQ(ElementAttribute(answer.FindFirst(u"residence"), u"id"), u"0");
  EXPECT_EQ(ElementAttribute(answer.FindFirst(u"clinic"), u"id"), u"3");
  EXPECT_EQ(answer.FindFirst(u"finish"), nullptr);
  EXPECT_EQ(answer.Count(u"residence"), 3u);
  EXPECT_EQ(answer.Count(u"clinic"), 2u);
  EXPECT_EQ(answer.Count(u"Clinic"), 0u);
  std::vector<std::u16string> residences;
  for (const DOMElement* found : answer.FindAll(u"residence")) {
    residences.push_back(ElementAttribute(found, u"id"));
  }
  EXPECT_EQ(residences, (std::vector<std::u16string>{u"0", u"1", u"2"}));
  EXPECT_TRUE(answer.FindAll(u"finish").empty());
  const DOMElement* inner = ElementChildren(ElementChildren(answer.GetRoot())[0])[0];
  EXPECT_EQ(ElementName(inner), u"b");
  EXPECT_EQ(FirstChildElement(answer.GetRoot(), u"residence"),
            ElementChildren(answer.GetRoot())[1]);
}

TEST_F(HISAnswerTest, FeeAnswerNamesAndTextsOfTheRootsChildren) {
  doubles_.Answer(IID_IHISPatientInfo, 13,
                  u"<root>\r\n<total>1200.50</total>\r\n<drug>300</drug><!-- 另计 -->"
                  u"<bed> 80 </bed>text between<exam/></root>");
  IHISPatientInfo* his = nullptr;
  DIDUFactory::Instance()->CreateInstance(IID_IHISPatientInfo, reinterpret_cast<void**>(&his));
  ScopedBstr patient_id(u"P1"), event_no(u"E1"), fee;
  ASSERT_EQ(his->GetFeeInfo(patient_id.get(), event_no.get(), fee.out()), S_OK);
  his->Release();
  CHISAnswer answer(fee.get());
  std::vector<std::u16string> items;
  for (const DOMElement* item : ElementChildren(answer.GetRoot())) {
    items.push_back(ElementName(item) + u"=" + TextContent(item));
  }
  EXPECT_EQ(items,
            (std::vector<std::u16string>{u"total=1200.50", u"drug=300", u"bed= 80 ", u"exam="}));
}

}  // namespace
