#include "interface/library_checks.h"

#include <curl/curl.h>
#include <libpq-fe.h>
#include <libxml/parser.h>
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <sqlite3.h>
#include <unicode/uchar.h>
#include <xercesc/util/PlatformUtils.hpp>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "platform/crypto/ciphers.h"
#include "platform/xml/xslt.h"

namespace korvalis::frame {
namespace {

bool SqliteWorks() {
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open(":memory:", &db) == SQLITE_OK &&
                  sqlite3_exec(db, "CREATE TABLE T(A); INSERT INTO T VALUES (1);", nullptr,
                               nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// Reads a connection string; the server is the database's, not this machine's, to check.
bool LibpqWorks() {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse("host=/tmp dbname=emr connect_timeout=1", &error);
  const bool ok = options != nullptr && PQlibVersion() > 0;
  PQconninfoFree(options);
  PQfreemem(error);
  return ok;
}

bool LibxmlWorks() {
  xmlDocPtr doc = xmlReadMemory("<root/>", 7, nullptr, nullptr, 0);
  xmlFreeDoc(doc);
  return doc != nullptr;
}

// The XSLT processor runs in the transformation worker: one small page made there.
bool XsltWorks() {
  constexpr char kStyle[] =
      "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      "<xsl:template match='/'><out><xsl:value-of select='root/@a'/></out></xsl:template>"
      "</xsl:stylesheet>";
  std::string page, cause;
  const xml::TransformOutcome outcome = xml::TransformText(
      "<root a='ok'/>", xml::TextWriter::kCaller, kStyle, xml::TextWriter::kCaller,
      {1024, std::size_t{16} << 20, std::chrono::seconds(30)}, page, &cause);
  if (outcome != xml::TransformOutcome::kDone && !cause.empty()) throw std::runtime_error(cause);
  return page.find("<out>ok</out>") != std::string::npos;
}

bool Pcre2Works() {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>("[0-9]+"), PCRE2_ZERO_TERMINATED,
                                   PCRE2_UTF, &error, &offset, nullptr);
  pcre2_match_data* data = code ? pcre2_match_data_create_from_pattern(code, nullptr) : nullptr;
  const bool ok = data != nullptr &&
                  pcre2_match(code, reinterpret_cast<PCRE2_SPTR>("ab12"), 4, 0, 0, data,
                              nullptr) == 1 &&
                  pcre2_get_ovector_pointer(data)[0] == 2;
  pcre2_match_data_free(data);
  pcre2_code_free(code);
  return ok;
}

bool XercesWorks() {
  try {
    xercesc::XMLPlatformUtils::Initialize();
    xercesc::XMLPlatformUtils::Terminate();
    return true;
  } catch (...) {
    return false;
  }
}

bool ZlibWorks() {
  const unsigned char text[] = "selfcheck";
  uLongf packed_len = compressBound(sizeof text);
  unsigned char packed[64];
  return compress(packed, &packed_len, text, sizeof text) == Z_OK;
}

// Through the module that holds Crypto++, which the check loads.
bool CryptoppWorks() {
  uint8_t digest[crypto::kMd5DigestSize];
  crypto::Md5(reinterpret_cast<const uint8_t*>("abc"), 3, digest);
  return digest[0] == 0x90 && digest[1] == 0x01 && digest[15] == 0x72;
}

bool IcuWorks() { return u_toupper(U'ä') == U'Ä' && u_isdigit(U'٣'); }

// Prepares a transfer without sending it: the servers are the hospital's to check.
bool CurlWorks() {
  CURL* curl = curl_easy_init();
  const bool ok = curl != nullptr &&
                  curl_easy_setopt(curl, CURLOPT_URL, "http://localhost/") == CURLE_OK &&
                  curl_version_info(CURLVERSION_NOW) != nullptr;
  curl_easy_cleanup(curl);
  return ok;
}

}  // namespace

std::vector<LibraryCheck> CheckLibraries(LibrariesOf whose) {
  const struct {
    const char* name;
    bool (*works)();
    bool calls_only;
  } kChecks[] = {
      {"sqlite", SqliteWorks, false},     {"libpq", LibpqWorks, false},
      {"libxml2", LibxmlWorks, false},    {"libxslt", XsltWorks, true},
      {"xerces", XercesWorks, false},     {"zlib", ZlibWorks, false},
      {"crypto++", CryptoppWorks, true},  {"icu", IcuWorks, false},
      {"libcurl", CurlWorks, false},      {"pcre2", Pcre2Works, false},
  };
  std::vector<LibraryCheck> checks;
  for (const auto& check : kChecks) {
    if (check.calls_only && whose == LibrariesOf::kCommand) continue;
    // A library opened on first use that cannot be loaded fails its check by an exception,
    // which says where it was looked for.
    LibraryCheck result{check.name, false, ""};
    try {
      result.works = check.works();
    } catch (const std::exception& e) {
      result.failure = e.what();
    }
    checks.push_back(std::move(result));
  }
  return checks;
}

}  // namespace korvalis::frame
