// Helpers of the data-source tests: a scratch database file of the embedded provider, a
// capture of the event log's records, and a loopback listener with the SOAP requests it
// should receive.
//
// Thread-safety: for one test thread; a LoopbackListener reads on a thread of its own and hands its
// bytes over once that thread has ended.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "db/testing/test_database.h"
#include "foundation/testing/loopback_socket.h"
#include "platform/db/connection_pool.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/sys/event_log.h"
#include "platform/text/unicode.h"

namespace korvalis::datasource::testing {

using korvalis::testing::TempDirectory;

// A fresh database with the system's schema and installation rows, in a file of its own or
// on the tests' throwaway PostgreSQL server.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(db::Engine engine = db::Engine::kSqlite)
      : database_(korvalis::schema::DatabaseContents::kInstallation, engine) {}
  const std::string& init_string() const { return database_.init_string(); }
  std::u16string connection_string() const { return korvalis::FromUtf8(database_.init_string()); }
  // Runs a statement on the fixture's own connection, committed at once.
  void Run(const std::string& sql) { database_.Execute(sql); }
  // The first column of the first row ("" for none or NULL).
  std::string Scalar(const std::string& sql) { return database_.QueryScalar(sql); }
  korvalis::schema::TestDatabase& database() { return database_; }

 private:
  korvalis::schema::TestDatabase database_;
};

// The database of the process's CEMRDataSource: made on first use, with "telv.config.xml" in
// the current directory naming it (the data source keeps the first connection string it reads).
// Both are removed when the process ends.
inline korvalis::schema::TestDatabase& EMRDatabase() {
  struct Holder {
    Holder() {
      std::ofstream("telv.config.xml") << "<config><db><datasource dbtype=\"oracle\">"
                                       << database.init_string() << "</datasource></db></config>";
    }
    ~Holder() { std::filesystem::remove("telv.config.xml"); }
    korvalis::schema::TestDatabase database;
  };
  static Holder holder;
  return holder.database;
}

// Sends the event log's records to a file of its own while the object lives.
class EventLogCapture {
 public:
  EventLogCapture() : path_(directory_.path() + "/events.log") {
    ::setenv(korvalis::sys::kEventLogFileVariable, path_.c_str(), 1);
  }
  ~EventLogCapture() { ::unsetenv(korvalis::sys::kEventLogFileVariable); }
  std::vector<korvalis::sys::EventRecord> Records() const {
    return korvalis::sys::ReadEventLogFile(path_);
  }
  void Clear() const { std::filesystem::remove(path_); }

 private:
  TempDirectory directory_;
  std::string path_;
};

// The 4 raw bytes of a result code as the event log keeps them.
inline std::vector<std::uint8_t> CodeBytes(std::int32_t code) {
  std::vector<std::uint8_t> bytes(4);
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(code) >> (8 * i));
  return bytes;
}

// A listener on the loopback interface that keeps the bytes of the first connection.
class LoopbackListener {
 public:
  LoopbackListener() {
    socket_ = korvalis::testing::BindLoopbackSocket(port_);
    ::listen(socket_, 4);
    thread_ = std::thread([this] {
      const int connection = ::accept(socket_, nullptr, nullptr);
      if (connection < 0) return;
      char buffer[4096];
      ssize_t n;
      while ((n = ::read(connection, buffer, sizeof(buffer))) > 0) received_.append(buffer, n);
      ::close(connection);
      done_ = true;
    });
  }
  ~LoopbackListener() {
    ::shutdown(socket_, SHUT_RDWR);
    ::close(socket_);
    thread_.join();
  }
  int port() const { return port_; }
  // The bytes received, once the client closed the connection.
  std::string Received() {
    thread_.join();
    thread_ = std::thread([] {});
    return received_;
  }
  bool done() const { return done_; }

 private:
  int socket_;
  int port_ = 0;
  std::thread thread_;
  std::string received_;
  std::atomic<bool> done_{false};
};

// The SOAP envelope of a call whose method element is `method_element`, as the client sends it.
inline std::string ExpectedSoapBody(const std::string& method_element) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\" ?>"
         "<soap:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<soap:Body>" +
         method_element + "</soap:Body></soap:Envelope>";
}

// The bytes of the watchdog report (the one-way call "ServerError") posted to the watchdog
// at 127.0.0.1:`port` on its default handler path.
inline std::string ExpectedWatchdogReport(int port) {
  const std::string body = ExpectedSoapBody("<ServerError xmlns=\"urn:tennal:service\"/>");
  return "POST /tennal/tennal.dll?Handler=Default HTTP/1.1\r\n"
         "Host: 127.0.0.1:" +
         std::to_string(port) +
         "\r\n"
         "Content-Type: text/xml; charset=utf-8\r\n"
         "Content-Length: " +
         std::to_string(body.size()) +
         "\r\n"
         "SOAPAction: \"urn:tennal:service/ServerError\"\r\n"
         "\r\n" +
         body + "\r\n";
}

// A port of the loopback interface on which nothing listens.
inline int UnusedLoopbackPort() {
  int port = 0;
  ::close(korvalis::testing::BindLoopbackSocket(port));
  return port;
}

}  // namespace korvalis::datasource::testing
