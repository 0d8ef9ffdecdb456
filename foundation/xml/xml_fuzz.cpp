// libFuzzer target for the XML that arrives in method arguments: any text must be read by the
// property bag, the client identity, the document wrappers and the XSLT processor (as source
// and as stylesheet) either into a result or into a CEMRException, never into a fault, a read
// out of bounds or a leak. A property bag that reads must also write itself out and read the
// same properties back.
//
// The input is read as UTF-16LE (how the methods receive it) when its first byte is odd, and
// as UTF-8 otherwise.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_property.h"
#include "platform/text/unicode.h"
#include "platform/xml/worker/xslt_processor.h"

namespace {

constexpr char16_t kCopyStylesheet[] =
    u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
    u"xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\"><xsl:template match=\"/\"><out>"
    u"<xsl:copy-of select=\"msxsl:node-set(.)\"/><xsl:value-of select=\"count(//*)\"/></out>"
    u"</xsl:template></xsl:stylesheet>";
constexpr char16_t kSource[] = u"<root><a x=\"1\">t</a><b/></root>";
// What one transformation may take before it is stopped.
constexpr std::chrono::milliseconds kProcessorTime{1000};
constexpr std::size_t kProcessorBytes = std::size_t{64} << 20;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void ReadProperties(const std::u16string& text) {
  try {
    CXmlProperty bag(text);
    CXmlProperty::Map read = bag.GetMap();
    bag.GetValue(u"extend");
    CXmlProperty written(read);
    CXmlProperty again(written.ToXml());
    Check(again.GetMap() == read);
  } catch (const CEMRException&) {
  }
}

void ReadClient(const std::u16string& text) {
  try {
    CClientInfo client(text);
    client.GetUserName();
  } catch (const CEMRException&) {
  }
}

void ReadDocument(const std::u16string& text) {
  try {
    CXmlDocument document(text, false, false);
    CXmlNode root = document.GetRootNode();
    root.GetText();
    root.GetInnerXml();
    root.GetChildCount(std::u16string());
    for (CXmlNode& node : root.GetElementsByTagName(u"*")) {
      node.GetAttributes();
      node.SetAttribute(u"seen", u"1");
    }
    root.AppendXml(text);
    CXmlNode copy = root.AppendChild(u"copy", std::u16string());
    CXmlNode::AppendCopy(root.GetChildAt(0), copy);
    root.GetXml();
  } catch (const CEMRException&) {
  }
}

// The style sheet processor runs in this process, so that its coverage guides the fuzzer; the
// library's own transformations run it in a worker's child, whose faults the tests meet.
void Transform(const std::u16string& xml, const std::u16string& xsl) {
  static std::once_flag started;
  std::call_once(started, korvalis::xml::StartProcessor);
  korvalis::xml::TransformAndDiscard(korvalis::ToUtf8(xml), korvalis::ToUtf8(xsl), kProcessorTime,
                                     kProcessorBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::u16string text;
  if ((data[0] & 1) != 0) {
    text.resize((size - 1) / 2);
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(data[1 + 2 * i] | (data[2 + 2 * i] << 8));
    }
  } else {
    text = korvalis::FromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  }
  ReadProperties(text);
  ReadClient(text);
  ReadDocument(text);
  Transform(text, kCopyStylesheet);
  Transform(kSource, text);
  return 0;
}
