#include "foundation/xml/emr_element.h"

#include <gtest/gtest.h>

#include "foundation/calls/emr_exception.h"

namespace {

using korvalis::html::Document;

TEST(EmrElement, DataElementIds) {
  EXPECT_TRUE(IsDataElementId(u"STD_DE_PATIENT_NAME"));
  EXPECT_TRUE(IsDataElementId(u"std_de_01"));
  EXPECT_TRUE(IsDataElementId(u"Ext_De"));
  EXPECT_FALSE(IsDataElementId(u"STD_D"));
  EXPECT_FALSE(IsDataElementId(u""));
  EXPECT_FALSE(IsDataElementId(u"X_STD_DE"));
  EXPECT_FALSE(IsDataElementId(u"STD-DE_01"));
  // Only a to z are upper-cased: a full-width or dotless letter is no match.
  EXPECT_FALSE(IsDataElementId(u"ｓTD_DE"));
}

TEST(EmrElement, CustomTagsAndMarks) {
  Document doc;
  doc.Load(u"<label id=plain>x</label><customtag:de_y id=y></customtag:de_y>"
           u"<CUSTOMTAG:DED_N id=dn></CUSTOMTAG:DED_N><customtag:Mark id=m></customtag:Mark>"
           u"<span id=s></span>");
  BSTR tag = nullptr;
  EXPECT_TRUE(IsDataElementTag(doc.GetElementById(u"plain"), &tag));
  EXPECT_EQ(korvalis::BstrView(tag), u"LABEL");
  SysFreeString(tag);
  EXPECT_TRUE(IsDataElementTag(doc.GetElementById(u"y"), nullptr));
  EXPECT_TRUE(IsDataElementTag(doc.GetElementById(u"dn"), nullptr));
  EXPECT_FALSE(IsDataElementTag(doc.GetElementById(u"s"), &tag));
  EXPECT_EQ(korvalis::BstrView(tag), u"SPAN");
  SysFreeString(tag);
  tag = nullptr;
  EXPECT_FALSE(IsDataElementTag(nullptr, &tag));
  EXPECT_EQ(tag, nullptr);

  EXPECT_TRUE(IsMarkElement(doc.GetElementById(u"m")));
  EXPECT_FALSE(IsMarkElement(doc.GetElementById(u"y")));
  EXPECT_FALSE(IsMarkElement(nullptr));
}

TEST(EmrElement, AttributesKeepTheCallersDefault) {
  Document doc;
  doc.Load(u"<span id=s DisplayType=2 empty=\"\" key=patient.name>x</span>");
  IHTMLElement* span = doc.GetElementById(u"s");
  std::u16string value = u"default";
  ReadElementAttribute(span, u"empty", value);
  EXPECT_EQ(value, u"default");
  ReadElementAttribute(span, u"missing", value);
  EXPECT_EQ(value, u"default");
  ReadElementAttribute(nullptr, u"key", value);
  EXPECT_EQ(value, u"default");
  ReadElementAttribute(span, u"KEY", value);
  EXPECT_EQ(value, u"patient.name");
  EXPECT_EQ(GetElementAttribute(span, u"displaytype"), u"2");
  EXPECT_EQ(GetElementAttribute(span, u"missing"), u"");
  EXPECT_EQ(GetElementAttribute(nullptr, u"key"), u"");

  SetElementAttribute(span, u"data", u"AAEC");
  SetElementAttribute(span, u"displayType", u"3");
  SetElementAttribute(nullptr, u"data", u"ignored");
  EXPECT_EQ(span->OuterHtml(),
            u"<SPAN id=s DisplayType=3 empty key=patient.name data=AAEC>x</SPAN>");
}

class DiagnosisList : public ::testing::Test {
 protected:
  std::u16string Format(const std::u16string& display_type, std::u16string text) {
    Document doc;
    doc.Load(display_type.empty() ? u"<div id=d></div>"
                                  : u"<div id=d displaytype=" + display_type + u"></div>");
    FormatDiagnosisList(doc.GetElementById(u"d"), text);
    return text;
  }

  const std::u16string list_ =
      u"<root><diag id=\"1\" parent=\"\">A</diag><diag id=\"2\">B</diag>"
      u"<diag id=\"3\" parent=\"1\">a1</diag></root>";
};

TEST_F(DiagnosisList, DisplayTypesFrameTheLines) {
  EXPECT_EQ(Format(u"2", list_), u"1.A，a1；2.B；");
  EXPECT_EQ(Format(u"3", list_), u"<P>1.A<P>&nbsp;&nbsp;a1</P><P>2.B</P>");
  EXPECT_EQ(Format(u"", list_), u"1.Aa12.B");
  EXPECT_EQ(Format(u"9", list_), u"1.Aa12.B");
  const std::u16string two_subs =
      u"<root><diag id='1'>A</diag><diag id='2' parent='1'>a1</diag>"
      u"<diag id='3' parent='1'>a2</diag></root>";
  EXPECT_EQ(Format(u"3", two_subs), u"<P>1.A<P>&nbsp;&nbsp;a1，a2</P>");
  EXPECT_EQ(Format(u"", two_subs), u"1.Aa1，a2");
}

TEST_F(DiagnosisList, ReadsTheDiagElementsThemselves) {
  // Comments, white space and other elements among the diagnoses change neither the count
  // nor which element is read.
  const std::u16string mixed =
      u"<root>\n  <!-- from HIS -->\n  <title>诊断</title>\n  <diag id='1'>高血压病</diag>\n"
      u"  <note/>\n  <diag id='2' parent='1'>3级（极高危）</diag>\n  <diag id='3'>冠心病</diag>\n"
      u"</root>";
  EXPECT_EQ(Format(u"2", mixed), u"1.高血压病，3级（极高危）；2.冠心病；");
}

TEST_F(DiagnosisList, SkipsOrphansAndEntriesWithoutId) {
  const std::u16string list =
      u"<root><diag>no id</diag><diag id='1'>A</diag><diag id='2' parent='9'>orphan</diag>"
      u"<diag id='' parent=''>empty id</diag></root>";
  EXPECT_EQ(Format(u"2", list), u"1.A；");
  EXPECT_EQ(Format(u"2", u"<root/>"), u"");
}

TEST_F(DiagnosisList, NamesAreWrittenAsText) {
  const std::u16string list =
      u"<root><diag id='1'>血压&lt;140 &amp; 心率&gt;60</diag>"
      u"<diag id='2' parent='1'>&lt;b&gt;</diag></root>";
  std::u16string text = Format(u"3", list);
  EXPECT_EQ(text, u"<P>1.血压&lt;140 &amp; 心率&gt;60<P>&nbsp;&nbsp;&lt;b&gt;</P>");
  // Set as inner HTML, the element shows the names as the list holds them.
  Document doc;
  doc.Load(u"<div id=d></div>");
  doc.GetElementById(u"d")->SetInnerHtml(text);
  EXPECT_EQ(doc.GetElementById(u"d")->InnerText(), u"1.血压<140 & 心率>60\r\n\u00A0\u00A0<b>");
}

TEST_F(DiagnosisList, EmptyAndInvalidTexts) {
  EXPECT_EQ(Format(u"2", u""), u"");
  Document doc;
  doc.Load(u"<div id=d displaytype=2></div>");
  std::u16string text = u"not xml";
  try {
    FormatDiagnosisList(doc.GetElementById(u"d"), text);
    FAIL() << "no exception";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), u"无效XML!");
  }
  EXPECT_EQ(text, u"not xml");
  // A null element reads as having no display type.
  text = list_;
  FormatDiagnosisList(nullptr, text);
  EXPECT_EQ(text, u"1.Aa12.B");
}

}  // namespace
