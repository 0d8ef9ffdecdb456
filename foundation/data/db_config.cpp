#include "foundation/data/db_config.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <xercesc/dom/DOM.hpp>

#include "foundation/codec/codec_factory.h"
#include "foundation/codec/emr_encoder.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/unicode.h"

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

[[noreturn]] void ThrowConfigError(const std::u16string& file) {
  throw CEMRException(u"获取数据库配置信息错误. 配置文件: " + file);
}

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::u16string& file) {
  std::ifstream in(korvalis::ToUtf8(file), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The parsed configuration file.
class ParsedConfigFile {
 public:
  explicit ParsedConfigFile(const std::u16string& file) : file_(file) {
    std::optional<std::string> bytes = ReadFileBytes(file);
    if (!bytes) ThrowConfigError(file);
    bytes_ = std::move(*bytes);
    parser_ = std::make_unique<CXmlStringParser>(bytes_);
    document_ = parser_->GetDocument();
    if (document_ == nullptr) ThrowConfigError(file);
  }

  // The one element `name` anywhere in the file; throws the configuration error when there is
  // none or more than one.
  const DOMElement* OnlyElement(const char16_t* name) const {
    xercesc::DOMNodeList* found = document_->getElementsByTagName(name);
    if (found == nullptr || found->getLength() != 1) ThrowConfigError(file_);
    return static_cast<const DOMElement*>(found->item(0));
  }

 private:
  std::u16string file_;
  std::string bytes_;
  std::unique_ptr<CXmlStringParser> parser_;
  DOMDocument* document_ = nullptr;
};

// The parsed configuration file and its one `db` element.
class ConfigDocument {
 public:
  explicit ConfigDocument(const std::u16string& file)
      : file_(file), db_(file_.OnlyElement(u"db")) {}

  // The first direct child of `db` named exactly "datasource", or null.
  const DOMElement* DataSource() const {
    for (const DOMNode* child = db_->getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
      if (child->getNodeType() == DOMNode::ELEMENT_NODE &&
          std::u16string_view(child->getNodeName()) == u"datasource") {
        return static_cast<const DOMElement*>(child);
      }
    }
    return nullptr;
  }

 private:
  ParsedConfigFile file_;
  const DOMNode* db_;
};

// The leading decimal integer of `text`, or nothing when it does not begin with one.
std::optional<int> LeadingInteger(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  const std::size_t first_digit = i;
  long long value = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    value = value * 10 + (text[i] - u'0');
    if (value > 1000000) return std::nullopt;  // far outside every codec table
    ++i;
  }
  if (i == first_digit) return std::nullopt;
  return static_cast<int>(negative ? -value : value);
}

std::u16string Decrypt(const std::u16string& text, const std::u16string& encrypt) {
  std::optional<int> type = LeadingInteger(encrypt);
  if (!type) throw CEMRException(std::u16string(u"不正确的加密类型"));
  std::unique_ptr<CEMREncryption> codec = CreateEncryption(*type);

  BYTE* decoded = nullptr;
  ULONG decoded_length = 0;
  CBase64Encoder().Decode(text, decoded, decoded_length);
  std::unique_ptr<BYTE[]> decoded_owner(decoded);

  BYTE* plain = nullptr;
  ULONG plain_length = 0;
  if (decoded_length != 0) codec->Decrypt(decoded, decoded_length, plain, plain_length);
  std::unique_ptr<BYTE[]> plain_owner(plain != decoded ? plain : nullptr);
  if (plain == nullptr) return std::u16string();

  // UTF-16LE up to the first zero character or the end; an odd last byte is no character.
  std::u16string result;
  result.reserve(plain_length / 2);
  for (ULONG i = 0; i + 1 < plain_length; i += 2) {
    const char16_t c = static_cast<char16_t>(plain[i] | (plain[i + 1] << 8));
    if (c == 0) break;
    result.push_back(c);
  }
  return result;
}

}  // namespace

std::u16string ReadDBConfig(const std::u16string& file) {
  ConfigDocument config(file);
  const DOMElement* data_source = config.DataSource();
  if (data_source == nullptr) return std::u16string();
  const XMLCh* content = data_source->getTextContent();
  std::u16string text(content != nullptr ? content : u"");
  std::u16string encrypt(data_source->getAttribute(u"encrypt"));
  if (encrypt.empty()) return text;
  return Decrypt(text, encrypt);
}

std::optional<std::u16string> ReadDBTypeName(const std::u16string& file) {
  ConfigDocument config(file);
  const DOMElement* data_source = config.DataSource();
  if (data_source == nullptr) return std::nullopt;
  return std::u16string(data_source->getAttribute(u"dbtype"));
}

std::u16string ReadHisKind(const std::u16string& file) {
  ParsedConfigFile config(file);
  const XMLCh* kind = config.OnlyElement(u"his")->getTextContent();
  return std::u16string(kind != nullptr ? kind : u"");
}

bool IsOracleTypeName(const std::u16string& name) {
  return name == u"oracle" || name == u"Oracle" || name == u"ORACLE";
}
