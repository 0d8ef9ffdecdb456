// The record library's content access: a record's HTML with its pictures unpacked, the header
// XML of a visit, the suite's dictionaries and XML files fetched by web address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/testing/record_access_test_util.h"
#include "emrdoc/emr_xml.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/suite/factory.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/emr_pages.h"
#include "foundation/testing/loopback_http_server.h"
#include "foundation/xml/xhtml_document.h"
#include "platform/html/document.h"

namespace korvalis::archive::testing {
namespace {

using korvalis::codec::testing::Base64Text;
using korvalis::testing::LoopbackHttpServer;

// Picture bytes: a PNG signature and every byte value.
std::string PictureBytes() {
  std::string bytes = "\x89PNG\r\n\x1a\n";
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

// The stored form of `bytes`: compressed by `compression`, then Base64.
std::u16string StoredPicture(const std::string& bytes, int compression) {
  BYTE* packed = nullptr;
  ULONG length = 0;
  CreateCompression(compression)
      ->Compress(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()),
                 packed, length);
  std::string stored(reinterpret_cast<const char*>(packed), length);
  delete[] packed;
  return Base64Text(stored);
}

// An IMG element with the attributes given as name="value" texts.
std::u16string Img(const std::u16string& attributes) { return u"<IMG " + attributes + u">"; }
std::u16string Attr(const std::u16string& name, const std::u16string& value) {
  return name + u"=\"" + value + u"\" ";
}

// The attributes of the element of id `id` in `html`, as (name, value) pairs in order.
std::vector<std::pair<std::u16string, std::u16string>> AttributesOf(const std::u16string& html,
                                                                    const std::u16string& id) {
  html::Document page;
  page.Load(html);
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  const html::Element* element = page.GetElementById(id);
  EXPECT_NE(element, nullptr) << ToUtf8(id);
  if (element == nullptr) return attributes;
  for (const html::Attribute& attribute : element->attributes()) {
    attributes.emplace_back(attribute.name, attribute.value);
  }
  return attributes;
}

class ContentAccessTest : public RecordAccessTest {
 protected:
  ContentAccessTest() { AddBrowseCatalog({.id = 1, .code = "001"}); }

  std::u16string Content(const std::u16string& id) {
    com::ScopedBstr emr_id(id);
    return Answer(
        [&](BSTR* out) { CBEMRLibrary::GetEMRContent(&data_source_, emr_id.get(), out); });
  }
  // The content of a record holding `body` in a page.
  std::u16string ContentOfPage(const std::u16string& body) {
    AddRecordWithContent("R" + std::to_string(++records_), 1,
                         u"<HTML><BODY>" + body + u"</BODY></HTML>");
    return Content(u"R" + FromUtf8(std::to_string(records_)));
  }

  int records_ = 0;
};

TEST_F(ContentAccessTest, PicturesAreHandedOutAsPlainBase64) {
  const std::string bytes = PictureBytes();
  const std::u16string plain = Base64Text(bytes);
  const std::u16string content = ContentOfPage(
      Img(Attr(u"id", u"zlib") + Attr(u"data", StoredPicture(bytes, 1)) + Attr(u"encode", u"0") +
          Attr(u"compress", u"1")) +
      Img(Attr(u"id", u"defaults") + Attr(u"data", StoredPicture(bytes, 1)) +
          Attr(u"ENCODE", u"-1") + Attr(u"Compress", u"-1")) +
      Img(Attr(u"id", u"plain") + Attr(u"data", StoredPicture(bytes, 0)) + Attr(u"encode", u"0") +
          Attr(u"compress", u"0")) +
      // Without `compress`, or with one that is no number, the bytes are not compressed.
      Img(Attr(u"id", u"nocompress") + Attr(u"data", StoredPicture(bytes, 0)) +
          Attr(u"encode", u"0")) +
      Img(Attr(u"id", u"oddcompress") + Attr(u"data", StoredPicture(bytes, 0)) +
          Attr(u"encode", u"0") + Attr(u"compress", u"zip")));
  for (const char16_t* id : {u"zlib", u"defaults", u"plain", u"nocompress", u"oddcompress"}) {
    for (const auto& [name, value] : AttributesOf(content, id)) {
      const std::u16string key = ::ToUpperAscii(name);
      if (key == u"DATA") {
        EXPECT_EQ(value, plain) << ToUtf8(id);
      } else if (key != u"ID") {
        EXPECT_EQ(value, u"0") << ToUtf8(id) << " " << ToUtf8(name);
      }
    }
    EXPECT_EQ(AttributesOf(content, id).size(), 4u) << ToUtf8(id);
  }
}

TEST_F(ContentAccessTest, ElementsWithoutDataOrEncodeStayAsStored) {
  const std::u16string stored = StoredPicture(PictureBytes(), 1);
  const std::u16string content = ContentOfPage(
      Img(Attr(u"id", u"noencode") + Attr(u"data", stored) + Attr(u"compress", u"1")) +
      Img(Attr(u"id", u"nodata") + Attr(u"encode", u"5") + Attr(u"compress", u"2")) +
      u"<SPAN id=other data=\"x\" encode=\"0\">不是图片</SPAN>");
  using Attributes = std::vector<std::pair<std::u16string, std::u16string>>;
  EXPECT_EQ(AttributesOf(content, u"noencode"),
            (Attributes{{u"id", u"noencode"}, {u"data", stored}, {u"compress", u"1"}}));
  EXPECT_EQ(AttributesOf(content, u"nodata"),
            (Attributes{{u"id", u"nodata"}, {u"encode", u"5"}, {u"compress", u"2"}}));
  // Only IMG elements (and the element "tempimage") hold pictures.
  EXPECT_EQ(AttributesOf(content, u"other"),
            (Attributes{{u"id", u"other"}, {u"data", u"x"}, {u"encode", u"0"}}));
}

TEST_F(ContentAccessTest, UnsupportedTypesAndDamagedPicturesFailTheWholeCall) {
  const std::u16string good = Img(Attr(u"data", StoredPicture(PictureBytes(), 1)) +
                                  Attr(u"encode", u"0") + Attr(u"compress", u"1"));
  const std::u16string stored = StoredPicture(PictureBytes(), 1);
  EXPECT_EQ(ContentOfPage(good + Img(Attr(u"data", stored) + Attr(u"encode", u"5"))),
            u"!不正确的编码类型");
  EXPECT_EQ(ContentOfPage(good + Img(Attr(u"data", stored) + Attr(u"encode", u"0") +
                                     Attr(u"compress", u"2"))),
            u"!不正确的压缩类型");
  // Bytes that are no zlib stream, and a text that is no Base64.
  EXPECT_EQ(ContentOfPage(good + Img(Attr(u"data", StoredPicture(PictureBytes(), 0)) +
                                     Attr(u"encode", u"0") + Attr(u"compress", u"1"))),
            std::u16string(u"!") + kUncompressFailed);
  EXPECT_EQ(ContentOfPage(good + Img(Attr(u"data", u"AAAA") + Attr(u"encode", u"0") +
                                     Attr(u"compress", u"1"))),
            std::u16string(u"!") + kUncompressFailed);
  EXPECT_EQ(ContentOfPage(good + Img(Attr(u"data", u"@@@@") + Attr(u"encode", u"0"))),
            u"!Base64执行解码错误");
}

TEST_F(ContentAccessTest, TheTempImageIsUnpackedOnceAndOnlyItsFirstElement) {
  const std::string bytes = PictureBytes();
  const std::u16string stored = StoredPicture(bytes, 1);
  const std::u16string content = ContentOfPage(
      Img(Attr(u"id", u"tempimage") + Attr(u"data", stored) + Attr(u"encode", u"0") +
          Attr(u"compress", u"1")) +
      u"<DIV id=tempimage data=\"" + stored + u"\" encode=\"0\" compress=\"1\"></DIV>");
  html::Document page;
  page.Load(content);
  std::vector<html::Element*> temp_images;
  for (html::Element* element : page.All()) {
    if (element->id() == u"tempimage") temp_images.push_back(element);
  }
  ASSERT_EQ(temp_images.size(), 2u);
  EXPECT_EQ(temp_images[0]->GetAttribute(u"data"), Base64Text(bytes));
  EXPECT_EQ(temp_images[1]->GetAttribute(u"data"), stored);
  EXPECT_EQ(temp_images[1]->GetAttribute(u"compress"), u"1");

  // A DIV that is the first "tempimage" is unpacked as the IMG elements are.
  const std::u16string div = ContentOfPage(u"<DIV id=tempimage data=\"" + stored +
                                           u"\" encode=\"0\" compress=\"1\"></DIV>");
  EXPECT_EQ(AttributesOf(div, u"tempimage")[1].second, Base64Text(bytes));
}

TEST_F(ContentAccessTest, ARealisticRecordKeepsEverythingButItsPictures) {
  // The admission page as the editor saved it, with a picture after its first paragraph, stored
  // by the record store with both codecs on.
  std::u16string page = korvalis::testing::ReadEmrPage("foundation/testdata/emr_admission.html");
  const std::size_t paragraph = page.find(u"</P>");
  ASSERT_NE(paragraph, std::u16string::npos);
  const std::string bytes = PictureBytes();
  page.insert(paragraph, Img(Attr(u"id", u"sign") + Attr(u"data", StoredPicture(bytes, 1)) +
                             Attr(u"encode", u"0") + Attr(u"compress", u"1")));
  SetSwitches("1", "1");
  std::u16string id;
  ASSERT_EQ(korvalis::testing::FailureOf([&] {
              id = Save(u"<root><catalog>1</catalog><template>1</template></root>", page);
            }),
            u"");
  const std::u16string content = Content(id);

  // What the page reads as, with the picture's attributes replaced and nothing else.
  html::Document expected;
  expected.Load(page);
  html::Element* picture = expected.GetElementById(u"sign");
  ASSERT_NE(picture, nullptr);
  picture->SetAttribute(u"data", Base64Text(bytes));
  picture->SetAttribute(u"compress", u"0");
  EXPECT_EQ(content, expected.documentElement()->OuterHtml());
  for (const char16_t* kept : {u"<CUSTOMTAG:LABEL id=lbl_name>姓名：</CUSTOMTAG:LABEL>",
                               u"id=STD_DE_PATIENT_NAME", u"<CUSTOMTAG:DE_Y", u"<TABLE",
                               u"含服硝酸甘油&lt;0.5mg&gt;", u"<STYLE id=system_default_css>"}) {
    EXPECT_NE(content.find(kept), std::u16string::npos) << ToUtf8(kept);
  }
}

TEST_F(ContentAccessTest, EmptyDeletedAndMissingRecords) {
  AddRecordWithContent("EMPTY", 1, u"");
  XHTMLDocument empty;
  empty.Load(std::u16string());
  std::u16string empty_page;
  empty.GetHtml(empty_page);
  EXPECT_EQ(Content(u"EMPTY"), empty_page);

  AddRecordWithContent("GONE", 1, u"<HTML><BODY>已删除</BODY></HTML>", "00002", 0);
  EXPECT_EQ(Content(u"GONE"), std::u16string(u"!") + kEmrDeletedMessage);
  EXPECT_EQ(Content(u"NONE"), std::u16string(u"!") + kEmrDeletedMessage);
}

TEST(UnpackEmrContent, ReplacesTheTextInPlaceOnlyWhenItSucceeds) {
  const std::u16string stored = StoredPicture(PictureBytes(), 1);
  // The text ends at its first zero character.
  const std::u16string text =
      u"<P>" + Img(Attr(u"data", stored) + Attr(u"encode", u"0") + Attr(u"compress", u"1")) +
      std::u16string(1, u'\0') + u"<P>after the end";
  BSTR content = AllocBstr(text);
  CBEMRLibrary::UnpackEmrContent(&content);
  const std::u16string unpacked(BstrView(content));
  SysFreeString(content);
  EXPECT_NE(unpacked.find(Base64Text(PictureBytes())), std::u16string::npos);
  EXPECT_EQ(unpacked.find(u"after the end"), std::u16string::npos);

  BSTR damaged = AllocBstr(Img(Attr(u"data", stored) + Attr(u"encode", u"7")));
  const BSTR before = damaged;
  EXPECT_EQ(korvalis::testing::FailureOf([&] { CBEMRLibrary::UnpackEmrContent(&damaged); }),
            u"不正确的编码类型");
  EXPECT_EQ(damaged, before);
  SysFreeString(damaged);
}

TEST(UnpackEmrContent, ThePicturesOfAPageTogetherExpandToTheLimitAtMost) {
  const std::u16string half =
      Img(Attr(u"data", StoredPicture(std::string(kMaxExpandedBytes / 2 + 1, 'p'), 1)) +
          Attr(u"encode", u"0") + Attr(u"compress", u"1"));
  BSTR content = AllocBstr(u"<P>" + half + half);
  const BSTR before = content;
  EXPECT_EQ(korvalis::testing::FailureOf([&] { CBEMRLibrary::UnpackEmrContent(&content); }),
            kExpandedTooLarge);
  EXPECT_EQ(content, before);
  SysFreeString(content);
}

TEST_F(ContentAccessTest, TheHeaderXmlIsThatOfTheVisitsLiveHeaderRecord) {
  const auto header_xml = [&](const std::u16string& patient) {
    com::ScopedBstr patient_id(patient), event_no(u"E1");
    return Answer([&](BSTR* out) {
      CBEMRLibrary::GetHeaderXml(&data_source_, patient_id.get(), event_no.get(), out);
    });
  };
  EXPECT_EQ(header_xml(u"P1"), u"");
  AddRecord({.id = "H1", .emr_type = 1, .status = 0});
  EXPECT_EQ(header_xml(u"P1"), u"");

  AddRecord({.id = "H2", .emr_type = 1});
  const std::u16string xml = u"<root><name>张三</name></root>";
  data_source_.WriteBlob(u"SELECT XML FROM TELV_EMR_CONTENT WHERE ID = 'H2'",
                         reinterpret_cast<const BYTE*>(xml.data()),
                         static_cast<ULONG>(xml.size() * 2), 0, 0, true);
  EXPECT_EQ(header_xml(u"P1"), xml);
  EXPECT_EQ(header_xml(u"P1' OR '1'='1"), u"");
}

// The slot of IDictionaryService::GetDictionary1 and of IHISHospital::GetDeptDict.
constexpr int kFirstDictionarySlot = 7;
constexpr int kDeptDictSlot = 8;

TEST_F(ContentAccessTest, DictionariesComeFromTheirComponentMethods) {
  const auto dictionary = [&](LONG number) {
    return Answer([&](BSTR* out) { CBEMRLibrary::GetDictContent(nullptr, number, out); });
  };
  for (int number = 1; number <= 7; ++number) {
    doubles_.ClearCalls();
    const std::u16string answer = u"<dict n=\"" + FromUtf8(std::to_string(number)) + u"\"/>";
    doubles_.Answer(IID_IDictionaryService, kFirstDictionarySlot + number - 1, answer);
    EXPECT_EQ(dictionary(number), answer);
    const auto calls = doubles_.Calls(IID_IDictionaryService);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].slot, kFirstDictionarySlot + number - 1);
  }
  doubles_.ClearCalls();
  doubles_.Answer(IID_IHISHospital, kDeptDictSlot, u"<depts><dept id=\"0101\"/></depts>");
  EXPECT_EQ(dictionary(20), u"<depts><dept id=\"0101\"/></depts>");
  const auto calls = doubles_.Calls(IID_IHISHospital);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].slot, kDeptDictSlot);
  EXPECT_EQ(calls[0].args, std::vector<std::u16string>{u""});

  doubles_.ClearCalls();
  for (LONG number : {0, 8, 19, 21, -1}) EXPECT_EQ(dictionary(number), u"") << number;
  EXPECT_TRUE(doubles_.Calls(IID_IDictionaryService).empty());
  EXPECT_TRUE(doubles_.Calls(IID_IHISHospital).empty());
}

TEST_F(ContentAccessTest, DictionaryFailuresCarryTheComponentsWords) {
  const auto dictionary = [&](LONG number) {
    return Answer([&](BSTR* out) { CBEMRLibrary::GetDictContent(nullptr, number, out); });
  };
  doubles_.Fail(IID_IDictionaryService, kFirstDictionarySlot + 2, E_FAIL, u"字典服务不可用");
  EXPECT_EQ(dictionary(3), u"!字典服务不可用");
  doubles_.Fail(IID_IHISHospital, kDeptDictSlot, E_FAIL);
  EXPECT_EQ(dictionary(20), u"!系统未知错误.");

  // The dictionary component is created for every number.
  const CLSID dictionaries =
      korvalis::suite::testing::SiblingDoubles::DoubleClass(IID_IDictionaryService);
  doubles_.Unregister(dictionaries);
  for (LONG number : {0, 1, 8, 20}) {
    EXPECT_EQ(dictionary(number), std::u16string(u"!") + kCreateComponentError) << number;
  }
  doubles_.Register(dictionaries);
}

class UrlXmlFileTest : public ::testing::Test {
 protected:
  std::u16string Fetch(const std::u16string& url) {
    com::ScopedBstr address(url);
    BSTR result = nullptr;
    const std::u16string failure = korvalis::testing::FailureOf(
        [&] { CBEMRLibrary::GetURLXmlFile(nullptr, address.get(), &result); });
    com::ScopedBstr owned;
    *owned.out() = result;
    if (!failure.empty()) {
      EXPECT_EQ(result, nullptr);
    }
    return failure.empty() ? owned.text() : u"!" + failure;
  }
  std::u16string Url(const std::string& target) { return FromUtf8(server_.Url(target)); }

  LoopbackHttpServer server_;
};

constexpr char16_t kWrittenDeclaration[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>";

TEST_F(UrlXmlFileTest, TheDocumentIsWrittenBackWithTheUtf16Declaration) {
  server_.Serve("/dict.xml", LoopbackHttpServer::Ok(
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- 字典 -->\n"
                                 "<root><item code='01'>心血管内科</item><empty></empty></root>"));
  EXPECT_EQ(Fetch(Url("/dict.xml")),
            std::u16string(kWrittenDeclaration) +
                u"<!-- 字典 --><root><item code=\"01\">心血管内科</item><empty/></root>");
  // The encoding the document declares is honoured, and the address may hold "http://" anywhere
  // that the server reads as part of the path.
  std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>";
  server_.Serve("/latin1.xml?from=http://x", LoopbackHttpServer::Ok(latin1));
  EXPECT_EQ(Fetch(Url("/latin1.xml?from=http://x")),
            std::u16string(kWrittenDeclaration) + u"<a>café</a>");
  std::string utf16 = "\xFF\xFE";
  for (char16_t unit : std::u16string(u"<a>体温单</a>")) {
    utf16.push_back(static_cast<char>(unit & 0xFF));
    utf16.push_back(static_cast<char>(unit >> 8));
  }
  server_.Serve("/utf16.xml", LoopbackHttpServer::Ok(utf16));
  EXPECT_EQ(Fetch(Url("/utf16.xml")), std::u16string(kWrittenDeclaration) + u"<a>体温单</a>");
}

TEST_F(UrlXmlFileTest, AddressesAndAnswersThatGiveNoDocument) {
  server_.Serve("/page.html", LoopbackHttpServer::Ok("<html><body>not xml<br></body></html>"));
  server_.Serve("/blank.xml", LoopbackHttpServer::Ok("  \n"));
  server_.Serve("/tofile", LoopbackHttpServer::Redirect("file:///etc/hostname"));
  server_.Serve("/entity.xml",
                LoopbackHttpServer::Ok("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e SYSTEM "
                                       "\"file:///etc/hostname\">]><a>&e;</a>"));
  server_.Serve("/dtd.xml", LoopbackHttpServer::Ok("<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"" +
                                                   server_.Url("/a.dtd") + "\"><a>外部</a>"));
  EXPECT_EQ(Fetch(u"HTTP://127.0.0.1/dict.xml"), std::u16string(u"!") + kUrlPathMessage);
  EXPECT_EQ(Fetch(u""), std::u16string(u"!") + kUrlPathMessage);
  for (const std::u16string& url :
       {Url("/missing.xml"), Url("/page.html"), Url("/blank.xml"), Url("/tofile"),
        Url("/entity.xml"), std::u16string(u"file:///etc/hostname#http://"),
        u"ftp://127.0.0.1/http://" + Url("/dict.xml"), u" " + Url("/dict.xml")}) {
    EXPECT_EQ(Fetch(url), std::u16string(u"!") + kUrlFileMissingMessage) << ToUtf8(url);
  }
  // No external DTD is loaded.
  EXPECT_EQ(Fetch(Url("/dtd.xml")), std::u16string(kWrittenDeclaration) + u"<!DOCTYPE a SYSTEM \"" +
                                        Url("/a.dtd") + u"\"><a>外部</a>");
  for (const std::string& request : server_.Requests()) {
    EXPECT_EQ(request.find("GET /a.dtd"), std::string::npos);
  }
}

// A file that gives no document fails with the one message; the event log holds the cause: the
// answer's size past the bound, its malformed XML, a server that is not there.
TEST_F(UrlXmlFileTest, TheEventLogHoldsWhyAFileGaveNoDocument) {
  korvalis::datasource::testing::EventLogCapture log;
  server_.Serve("/large.xml", LoopbackHttpServer::Ok("<a>" + std::string(20 << 20, 'x') + "</a>"));
  server_.Serve("/broken.xml", LoopbackHttpServer::Ok("<a><b></a>"));
  server_.Serve("/gone.xml", LoopbackHttpServer::Ok("", "404 Not Found"));
  const std::u16string closed =
      u"http://127.0.0.1:" +
      FromUtf8(std::to_string(korvalis::datasource::testing::UnusedLoopbackPort())) + u"/a.xml";
  const std::pair<std::u16string, std::u16string> cases[] = {
      {Url("/large.xml"), u"the answer is longer than 16777216 bytes"},
      {Url("/broken.xml"), u"the answer (10 bytes) is no well-formed XML document"},
      {Url("/gone.xml"), u"the server answered with status 404"},
      {closed, u"Failed to connect to 127.0.0.1 port"},
  };
  for (const auto& [url, cause] : cases) {
    log.Clear();
    EXPECT_EQ(Fetch(url), std::u16string(u"!") + kUrlFileMissingMessage);
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 1u) << ToUtf8(url);
    EXPECT_EQ(records[0].type, korvalis::sys::kEventError);
    EXPECT_EQ(records[0].text.find(std::u16string(kUrlFileMissingMessage) + u" URL: " + url +
                                   u", 原因: "),
              0u)
        << ToUtf8(records[0].text);
    EXPECT_NE(records[0].text.find(cause), std::u16string::npos) << ToUtf8(records[0].text);
  }
  // A caller's address of any length is named in part.
  log.Clear();
  const std::u16string long_url = Url("/" + std::string(1 << 20, 'a'));
  EXPECT_EQ(Fetch(long_url), std::u16string(u"!") + kUrlFileMissingMessage);
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find(long_url.substr(0, 2048) + u"..., 原因: "), std::u16string::npos);
  EXPECT_LT(records[0].text.size(), 2200u);
}

}  // namespace
}  // namespace korvalis::archive::testing
