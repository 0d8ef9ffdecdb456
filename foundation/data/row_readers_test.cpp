#include "foundation/data/row_readers.h"

#include <gtest/gtest.h>

#include <random>
#include <xercesc/util/XMLChar.hpp>

#include "platform/db/connection_support.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::datasource::AppendEscapedXml;
using korvalis::datasource::Unrepresentable;
using korvalis::datasource::XmlOutput;

struct Escaped {
  std::u16string text;
  bool valid;
};

// The value decoded by the library's converter, then escaped one unit at a time as the XML
// library's serialiser does, a character it cannot carry ending the text or replaced: the
// writers must give exactly this.
Escaped Reference(std::string_view utf8, bool attribute, Unrepresentable unrepresentable) {
  const std::u16string value = korvalis::FromUtf8(utf8);
  Escaped out{u"", true};
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.size() &&
        xercesc::XMLChar1_0::isXMLChar(c, value[i + 1])) {
      out.text.append(value, i, 2);
      ++i;
      continue;
    }
    if (!xercesc::XMLChar1_0::isXMLChar(c)) {
      out.valid = false;
      if (unrepresentable == Unrepresentable::kRefuse) return out;
      out.text.push_back(0xFFFD);
      continue;
    }
    if (c == u'&') {
      out.text += u"&amp;";
    } else if (c == u'<') {
      out.text += u"&lt;";
    } else if (c == u'>' && !attribute) {
      out.text += u"&gt;";
    } else if (c == u'"' && attribute) {
      out.text += u"&quot;";
    } else if (c == u'\r') {
      out.text += u"&#xD;";
    } else if (c == u'\n' && attribute) {
      out.text += u"&#xA;";
    } else if (c == u'\t' && attribute) {
      out.text += u"&#x9;";
    } else {
      out.text.push_back(c);
    }
  }
  return out;
}

Escaped Written(std::string_view utf8, bool attribute, std::u16string_view before = u"<",
                Unrepresentable unrepresentable = Unrepresentable::kRefuse) {
  XmlOutput out;
  out.Append(before);
  const bool valid = AppendEscapedXml(out, utf8, attribute, unrepresentable);
  EXPECT_EQ(out.view().substr(0, before.size()), before);
  return {std::u16string(out.view().substr(before.size())), valid};
}

void ExpectAsReference(const std::string& utf8) {
  for (bool attribute : {false, true}) {
    for (Unrepresentable mode : {Unrepresentable::kRefuse, Unrepresentable::kReplace}) {
      const Escaped expected = Reference(utf8, attribute, mode);
      const Escaped written = Written(utf8, attribute, u"<", mode);
      ASSERT_EQ(written.valid, expected.valid)
          << testing::PrintToString(utf8) << " " << attribute << " " << static_cast<int>(mode);
      ASSERT_EQ(written.text, expected.text)
          << testing::PrintToString(utf8) << " " << attribute << " " << static_cast<int>(mode);
    }
  }
}

// Every one- and two-byte value, and random values over the bytes that matter to a decoder
// (sequence leads and the bounds of their continuations) and to escaping.
TEST(AppendEscapedXml, DecodesAndEscapesExactlyAsConverterAndSerialiser) {
  for (int a = 0; a < 256; ++a) {
    ExpectAsReference(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) {
      ExpectAsReference(std::string{static_cast<char>(a), static_cast<char>(b)});
    }
  }
  const unsigned char kBytes[] = {0x00, 0x01, 0x09, 0x0A, 0x0D, 0x1F, ' ',  '"',  '&',
                                  '\'', '<',  '>',  'a',  0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                  0xA0, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE4,
                                  0xED, 0xEE, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xFF};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kBytes - 1);
  std::uniform_int_distribution<int> length(3, 9);
  for (int n = 0; n < 200000; ++n) {
    std::string value(static_cast<std::size_t>(length(random)), '\0');
    for (char& byte : value) byte = static_cast<char>(kBytes[pick(random)]);
    ExpectAsReference(value);
  }
  ExpectAsReference("病人 O'Brien <a & b> \"c\"\r\n\t😀 \xEF\xBF\xBD \xEF\xBF\xBE");
}

// Long values are written in pieces: sequences, entities and refusals across the seams.
TEST(AppendEscapedXml, LongValuesAcrossPieces) {
  for (std::size_t head : {4093u, 4094u, 4095u, 4096u, 4097u, 8190u}) {
    for (const char* tail : {"中文", "😀&", "\"<>\n", "\xF0\x9F\x98", "\xEF\xBF\xBE tail", "\x01"}) {
      ExpectAsReference(std::string(head, 'a') + tail + std::string(5000, '&'));
    }
  }
  std::string mixed;
  while (mixed.size() < 100000) mixed += "住院病人 <门诊> & \"急诊\" 😀\r\n";
  ExpectAsReference(mixed);
}

// A refused character leaves the text before it, after what the document already held.
TEST(AppendEscapedXml, RefusalKeepsTheTextBeforeTheCharacter) {
  const Escaped control = Written("a&b\x01z", false, u"<doc>");
  EXPECT_FALSE(control.valid);
  EXPECT_EQ(control.text, u"a&amp;b");
  const Escaped noncharacter = Written("中\xEF\xBF\xBFz", true, u"<doc>");
  EXPECT_FALSE(noncharacter.valid);
  EXPECT_EQ(noncharacter.text, u"中");
  const Escaped late = Written(std::string(5000, 'x') + "\x02", true);
  EXPECT_FALSE(late.valid);
  EXPECT_EQ(late.text, std::u16string(5000, u'x'));
}

// A replaced character becomes U+FFFD and the value goes on.
TEST(AppendEscapedXml, ReplacementWritesTheWholeValue) {
  const Escaped control = Written("a&b\x01z\x1F", false, u"<doc>", Unrepresentable::kReplace);
  EXPECT_FALSE(control.valid);
  EXPECT_EQ(control.text, u"a&amp;b\uFFFDz\uFFFD");
  const Escaped noncharacter =
      Written("中\xEF\xBF\xBF\"", true, u"<doc>", Unrepresentable::kReplace);
  EXPECT_FALSE(noncharacter.valid);
  EXPECT_EQ(noncharacter.text, u"中\uFFFD&quot;");
  const Escaped fit = Written("中\t\n", false, u"<doc>", Unrepresentable::kReplace);
  EXPECT_TRUE(fit.valid);
}

TEST(XmlOutput, GrowsKeepingWhatWasWritten) {
  XmlOutput out;
  EXPECT_EQ(out.size(), 0u);
  std::u16string expected;
  for (int i = 0; i < 5000; ++i) {
    const std::u16string piece = u"<p n=\"" + korvalis::FromUtf8(std::to_string(i)) + u"\"/>";
    out.Append(piece);
    expected += piece;
  }
  char16_t* room = out.Reserve(3);
  room[0] = u'a';
  room[1] = u'b';
  out.Commit(2);
  expected += u"ab";
  EXPECT_EQ(out.view(), expected);

  // Handed over as a BSTR, terminated, and the output starts again empty.
  const BSTR document = out.ReleaseBstr();
  EXPECT_EQ(korvalis::BstrView(document), expected);
  EXPECT_EQ(document[expected.size()], u'\0');
  EXPECT_EQ(out.size(), 0u);
  out.Append(u"<r/>");
  EXPECT_EQ(out.view(), u"<r/>");
  SysFreeString(document);
  const BSTR empty = XmlOutput().ReleaseBstr();
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(empty[0], u'\0');
  SysFreeString(empty);
}

}  // namespace

// A bounded element writer refuses a row whose values cannot fit before it copies any of them
// (one huge value would otherwise be held again as UTF-16), and still writes a row of
// three-byte characters that fills the room exactly.
TEST(ElementWriterTest, ARowThatCannotFitIsRefusedBeforeItIsWritten) {
  // The root's start tag and the element around a value of 1,000 units.
  const std::size_t room = 1000 + std::string_view("<root><e></e>").size();
  struct Case {
    std::string value;
    bool fits;
  };
  std::string cjk;
  for (int i = 0; i < 1000; ++i) cjk += "病";  // 3,000 bytes, 1,000 units
  const Case cases[] = {{std::string(3 << 20, 'x'), false}, {cjk, true}};
  for (const Case& c : cases) {
    XmlOutput out;
    korvalis::datasource::ElementWriter writer(&out, u"e", {}, {},
                                               {.max_units = room, .counted = 0});
    korvalis::db::ValueRowset rows("V", c.value);
    writer.Start(rows);
    ASSERT_TRUE(rows.Next());
    writer.Row(rows);
    EXPECT_EQ(writer.Full(), !c.fits);
    EXPECT_LE(out.size(), room);
  }
}
