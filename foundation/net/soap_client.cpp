#include "foundation/net/soap_client.h"

#include <arpa/inet.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLChar.hpp>

#include "foundation/calls/emr_exception.h"
#include "foundation/net/socket_library.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/unicode.h"

using namespace xercesc;

namespace {

// The declaration the DOM writer gives a document written as "utf-8".
constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\" ?>";
constexpr char kXsiNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr char kXsdNamespace[] = "http://www.w3.org/2001/XMLSchema";
constexpr char kSoap11Namespace[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr std::size_t kMaxStandbyVariableLength = 1024;

void CheckXmlName(const std::u16string& name) {
  if (name.empty() || !XMLChar1_0::isValidName(name.c_str(), name.size())) {
    throw CEMRException(u"SOAP请求的名称无效: " + name);
  }
}

void CheckXmlText(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        XMLChar1_0::isXMLChar(c, text[i + 1])) {
      ++i;
      continue;
    }
    if (!XMLChar1_0::isXMLChar(c))
      throw CEMRException(std::u16string(u"SOAP请求含有XML不允许的字符."));
  }
}

// A DOM document released when it goes out of scope.
struct DocumentOwner {
  DOMDocument* document;
  ~DocumentOwner() { document->release(); }
};

// The UTF-8 text of `node` as the library's DOM writer writes it (a declaration only for a
// document).
std::string SerializeUtf8(const DOMNode* node) {
  DOMImplementation* implementation = GetDomImplementation();
  DOMLSSerializer* serializer = implementation->createLSSerializer();
  DOMLSOutput* output = implementation->createLSOutput();
  MemBufFormatTarget target;
  output->setByteStream(&target);
  output->setEncoding(u"utf-8");
  bool written = false;
  try {
    written = serializer->write(node, output);
  } catch (...) {
  }
  output->release();
  serializer->release();
  if (!written) throw CEMRException(std::u16string(u"SOAP请求含有XML不允许的字符."));
  return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

void SetPiece(iovec& piece, const std::string& text) {
  piece.iov_base = const_cast<char*>(text.data());
  piece.iov_len = text.size();
}

// The authority of a URL for `host` and `port`; empty when the host is no host name or IP
// address (a standby value may still carry a port or a path), or the port is out of range.
std::string Authority(const std::string& host, int port) {
  if (port < 1 || port > 65535) return {};
  in6_addr ipv6;
  if (inet_pton(AF_INET6, host.c_str(), &ipv6) == 1) return "[" + host + "]:" + std::to_string(port);
  const bool is_name = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
  });
  return is_name ? host + ":" + std::to_string(port) : std::string();
}

// A connection to `host` at `port`, made within the connection time-out and held by the
// returned handle; null when none could be made.
korvalis::CurlEasy ConnectTo(const std::string& host, int port) {
  const std::string authority = Authority(host, port);
  if (authority.empty()) return nullptr;
  korvalis::CurlEasy easy = korvalis::NewCurlEasy();
  if (!easy) return easy;
  const std::string url = "http://" + authority + "/";
  curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT, static_cast<long>(kSoapConnectTimeoutSeconds));
  if (curl_easy_perform(easy.get()) != CURLE_OK) return nullptr;
  return easy;
}

// Sends all of `bytes` on the connection within the send time-out. A peer that has gone away
// fails the send instead of raising SIGPIPE, which would end the host process.
bool SendAll(CURL* connection, const std::string& bytes) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kSoapSendTimeoutSeconds);
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(connection, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK ||
      socket == CURL_SOCKET_BAD) {
    return false;
  }
  for (std::size_t sent = 0; sent < bytes.size();) {
    std::size_t written = 0;
    const CURLcode result =
        curl_easy_send(connection, bytes.data() + sent, bytes.size() - sent, &written);
    sent += written;
    if (result == CURLE_AGAIN) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd writable{socket, POLLOUT, 0};
      if (left.count() <= 0 || poll(&writable, 1, static_cast<int>(left.count())) <= 0) {
        return false;
      }
    } else if (result != CURLE_OK) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string SoapRequest::Bytes() const {
  std::string bytes;
  for (const iovec& piece : pieces)
    bytes.append(static_cast<const char*>(piece.iov_base), piece.iov_len);
  return bytes;
}

SoapProtocol::SoapProtocol()
    : host_(korvalis::ToUtf8(kLocalHostName)), namespace_(kSuiteServiceNamespace) {}

SoapProtocol::~SoapProtocol() = default;

void SoapProtocol::SetEndpoint(const std::u16string& host, const std::u16string& path, int port) {
  host_ = korvalis::ToUtf8(host);
  path_ = path;
  request_line_ = "POST " + korvalis::ToUtf8(path) + " HTTP/1.1\r\n";
  port_ = port;
}

void SoapProtocol11::BuildRequest(const std::u16string& method,
                                  const std::map<std::u16string, std::u16string>& parameters,
                                  SoapRequest& request) const {
  CheckXmlName(method);
  // The method element and its parameters go through the DOM writer. The envelope around it
  // is written here, because the DOM keeps attributes in name order and the envelope's
  // namespace declarations are sent in the order xsi, xsd, soap.
  DocumentOwner owner{GetDomImplementation()->createDocument()};
  DOMDocument* document = owner.document;
  DOMElement* call = document->createElement(method.c_str());
  call->setAttribute(u"xmlns", korvalis::FromUtf8(namespace_).c_str());
  document->appendChild(call);
  for (const auto& [name, value] : parameters) {
    CheckXmlName(name);
    CheckXmlText(value);
    DOMElement* parameter = document->createElement(name.c_str());
    parameter->setTextContent(value.c_str());
    call->appendChild(parameter);
  }

  request.body = std::string(kXmlDeclaration) + "<soap:Envelope xmlns:xsi=\"" + kXsiNamespace +
                 "\" xmlns:xsd=\"" + kXsdNamespace + "\" xmlns:soap=\"" + kSoap11Namespace +
                 "\"><soap:Body>" + SerializeUtf8(call) + "</soap:Body></soap:Envelope>";
  request.request_line = request_line_;
  request.host_header = "Host: " + host_ + ":" + std::to_string(port_) + "\r\n";
  request.content_type_header = "Content-Type: text/xml; charset=utf-8\r\n";
  request.content_length_header = "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  std::string action = "SOAPAction: \"" + namespace_;
  if (action.back() != '/') action += '/';
  request.action_header = action + korvalis::ToUtf8(method) + "\"\r\n";

  static const std::string& kEndOfHeaders = *new std::string("\r\n");
  SetPiece(request.pieces[0], request.request_line);
  SetPiece(request.pieces[1], request.host_header);
  SetPiece(request.pieces[2], request.content_type_header);
  SetPiece(request.pieces[3], request.content_length_header);
  SetPiece(request.pieces[4], request.action_header);
  SetPiece(request.pieces[5], kEndOfHeaders);
  SetPiece(request.pieces[6], request.body);
  SetPiece(request.pieces[7], kEndOfHeaders);
}

StandbyServers::StandbyServers(std::string variable) : variable_(std::move(variable)) {}

StandbyServers& StandbyServers::Process() {
  static StandbyServers& list = *new StandbyServers;
  return list;
}

std::vector<std::u16string> StandbyServers::Get() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!hosts_.empty()) return hosts_;
  const char* value = std::getenv(variable_.c_str());
  if (value == nullptr) return {};
  const std::u16string text = korvalis::FromUtf8(value);
  if (text.size() >= kMaxStandbyVariableLength) return {};
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u';', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string piece = text.substr(start, end - start);
    if (!piece.empty()) {
      const std::size_t scheme = piece.find(u"://");
      if (scheme != std::u16string::npos) piece.erase(0, scheme + 3);
      hosts_.push_back(piece);
    }
    start = end + 1;
  }
  return hosts_;
}

SoapClient::SoapClient(StandbyServers& standby)
    : standby_(standby), protocol_(std::make_unique<SoapProtocol11>()) {
  korvalis::StartSocketLibrary();
}

SoapClient::~SoapClient() = default;

void SoapClient::SetEndpoint(const std::u16string& host, const std::u16string& path, int port) {
  protocol_->SetEndpoint(host, path, port);
}

void SoapClient::Call(const std::u16string& method,
                      const std::map<std::u16string, std::u16string>& parameters) {
  SoapRequest request;
  protocol_->BuildRequest(method, parameters, request);

  korvalis::CurlEasy connection = ConnectTo(protocol_->GetHost(), protocol_->GetPort());
  if (!connection) {
    for (const std::u16string& host : GetStandbyServers()) {
      protocol_->SetEndpoint(host, protocol_->GetPath(), protocol_->GetPort());
      protocol_->BuildRequest(method, parameters, request);
      connection = ConnectTo(protocol_->GetHost(), protocol_->GetPort());
      if (connection) break;
    }
  }
  if (!connection) throw CEMRException(std::u16string(u"链接WebService服务器错误."));
  // The pieces go out as one write; the connection is closed without reading an answer.
  const bool sent = SendAll(connection.get(), request.Bytes());
  connection.reset();
  if (!sent) throw CEMRException(std::u16string(u"发送WebService请求错误."));
}
