// The SOAP client of the watchdog report: it builds an HTTP POST carrying a SOAP 1.1 envelope
// with one method element, opens a TCP connection (falling back to the standby hosts that the
// environment variable SOAPCLIENT_STANDBY_SERVER lists), sends the request and closes the
// connection without reading an answer: the calls are one-way.
//
// The request, as eight pieces sent together in one write:
//
//   POST <path> HTTP/1.1\r\n
//   Host: <host>:<port>\r\n
//   Content-Type: text/xml; charset=utf-8\r\n
//   Content-Length: <bytes of the body>\r\n
//   SOAPAction: "<namespace>[/]<method>"\r\n
//   \r\n
//   <?xml ...?><soap:Envelope ...><soap:Body><method xmlns="<namespace>">...</method>...
//   \r\n                                      (not counted in Content-Length)
//
// Thread-safety: a SoapClient, its protocol object and a SoapRequest belong to one thread.
// Every request owns its buffers, so requests on several threads run side by side. A
// StandbyServers list is thread-safe.
#pragma once

#include <sys/uio.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The host name of the local machine as the watchdog report addresses it.
inline constexpr char16_t kLocalHostName[] = u"localhost";
// The namespace of the suite's services: the method element's namespace and the prefix of
// the SOAP action.
inline constexpr char kSuiteServiceNamespace[] = "urn:tennal:service";
// Seconds allowed for connecting to one host, and for sending the whole request.
inline constexpr int kSoapConnectTimeoutSeconds = 30;
inline constexpr int kSoapSendTimeoutSeconds = 30;

// The bytes of one request: the texts that the eight pieces point into.
struct SoapRequest {
  static constexpr int kPieceCount = 8;
  SoapRequest() = default;
  // The pieces point into the object itself.
  SoapRequest(const SoapRequest&) = delete;
  SoapRequest& operator=(const SoapRequest&) = delete;

  std::string request_line;
  std::string host_header;
  std::string content_type_header;
  std::string content_length_header;
  std::string action_header;
  std::string body;  // UTF-8
  iovec pieces[kPieceCount] = {};

  // The whole request as the gathered write sends it.
  std::string Bytes() const;
};

class SoapProtocol {
 public:
  SoapProtocol();
  virtual ~SoapProtocol();

  // Narrows `host` to UTF-8, stores `path`, builds the request line from it and stores `port`.
  void SetEndpoint(const std::u16string& host, const std::u16string& path, int port);
  std::string GetHost() const { return host_; }
  std::u16string GetPath() const { return path_; }
  int GetPort() const { return port_; }
  void SetNamespace(const std::string& name_space) { namespace_ = name_space; }

  // Fills (or refills) `request` for a call of `method` with `parameters` (written in ascending
  // order of their names). Throws CEMRException when a name is not a valid XML name or a value
  // holds a character XML cannot carry.
  virtual void BuildRequest(const std::u16string& method,
                            const std::map<std::u16string, std::u16string>& parameters,
                            SoapRequest& request) const = 0;

 protected:
  std::string host_;
  std::u16string path_;
  std::string request_line_;
  int port_ = 80;
  std::string namespace_;
};

class SoapProtocol11 : public SoapProtocol {
 public:
  void BuildRequest(const std::u16string& method,
                    const std::map<std::u16string, std::u16string>& parameters,
                    SoapRequest& request) const override;
};

// The standby hosts, read once from SOAPCLIENT_STANDBY_SERVER: pieces separated by ";", empty
// pieces skipped, everything up to and including a first "://" dropped. A value of 1024
// characters or more, a missing variable, or one that yields no host gives an empty list and
// is read again next time.
class StandbyServers {
 public:
  explicit StandbyServers(std::string variable = "SOAPCLIENT_STANDBY_SERVER");
  std::vector<std::u16string> Get();

  // The list of the process.
  static StandbyServers& Process();

 private:
  std::string variable_;
  std::mutex mutex_;
  std::vector<std::u16string> hosts_;
};

class SoapClient {
 public:
  // `standby` must outlive the client.
  explicit SoapClient(StandbyServers& standby = StandbyServers::Process());
  ~SoapClient();
  SoapClient(const SoapClient&) = delete;
  SoapClient& operator=(const SoapClient&) = delete;

  void SetEndpoint(const std::u16string& host, const std::u16string& path, int port);
  // Posts the call. Throws CEMRException "链接WebService服务器错误." when neither the host nor
  // a standby host accepts a connection, "发送WebService请求错误." when sending fails.
  void Call(const std::u16string& method,
            const std::map<std::u16string, std::u16string>& parameters);
  std::vector<std::u16string> GetStandbyServers() { return standby_.Get(); }
  SoapProtocol& protocol() { return *protocol_; }

 private:
  StandbyServers& standby_;
  std::unique_ptr<SoapProtocol> protocol_;
};
